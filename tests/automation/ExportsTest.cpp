// The library's four entry points under their standard contracts: the class
// object, what it creates, and when the library may be unloaded.
#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

// {11111111-2222-3333-4444-555555555555}: a class this library does not serve.
constexpr GUID kForeignClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

void ClassObject(Checks& checks, const Library& library) {
  void* object = reinterpret_cast<void*>(1);
  checks.Result(library.DllGetClassObject(kForeignClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE,
                "DllGetClassObject refuses a foreign class identifier");
  checks.Check(object == nullptr, "and hands out nothing for it");
  object = reinterpret_cast<void*>(1);
  checks.Result(library.DllGetClassObject(LIBID_VantelUS, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE,
                "DllGetClassObject refuses the type library's identifier");
  checks.Result(library.DllGetClassObject(CLSID_CompareUS, IID_IDispatch, &object), E_NOINTERFACE,
                "the class object is no IDispatch");
  checks.Check(object == nullptr, "and hands out nothing then");

  ComPtr<IUnknown> unknown;
  checks.Result(
      library.DllGetClassObject(CLSID_CompareUS, IID_IUnknown, reinterpret_cast<void**>(unknown.GetAddressOf())), S_OK,
      "the class object through IUnknown");
  ComPtr<IClassFactory> factory;
  if (!checks.Result(library.DllGetClassObject(CLSID_CompareUS, IID_IClassFactory,
                                               reinterpret_cast<void**>(factory.GetAddressOf())),
                     S_OK, "the class object through IClassFactory")) {
    return;
  }
  ComPtr<IUnknown> outer = unknown;
  void* aggregated = reinterpret_cast<void*>(1);
  checks.Result(factory->CreateInstance(outer.Get(), IID_IUnknown, &aggregated), CLASS_E_NOAGGREGATION,
                "aggregation is refused");
  checks.Check(aggregated == nullptr, "and creates nothing");
  void* wrong = reinterpret_cast<void*>(1);
  checks.Result(factory->CreateInstance(nullptr, IID_IClassFactory, &wrong), E_NOINTERFACE,
                "an object asked for an interface it lacks");
  checks.Check(wrong == nullptr, "hands out nothing");
}

void Interfaces(Checks& checks, const Library& library) {
  ComPtr<_CompareUS> object = CreateFromLibrary(library);
  if (!checks.Check(object != nullptr, "an object for its interfaces")) return;
  ComPtr<IUnknown> identity;
  ComPtr<IDispatch> dispatch;
  ComPtr<ISupportErrorInfo> errors;
  ComPtr<IUnknown> identityFromErrors;
  checks.Result(object.As(&identity), S_OK, "IUnknown");
  checks.Result(object.As(&dispatch), S_OK, "IDispatch");
  checks.Result(object.As(&errors), S_OK, "ISupportErrorInfo");
  if (errors) {
    checks.Result(errors.As(&identityFromErrors), S_OK, "IUnknown from ISupportErrorInfo");
    checks.Check(identity.Get() == identityFromErrors.Get(), "one identity whichever interface is asked");
    checks.Result(errors->InterfaceSupportsErrorInfo(IID__CompareUS), S_OK, "_CompareUS reports errors");
    checks.Result(errors->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE, "other interfaces do not");
  }
  ComPtr<IClassFactory> notThere;
  checks.Result(object.As(&notThere), E_NOINTERFACE, "an interface it does not have");
  checks.Check(notThere == nullptr, "leaves the out-pointer null");
}

void Unloading(Checks& checks, const Library& library) {
  checks.Result(library.DllCanUnloadNow(), S_OK, "DllCanUnloadNow: yes, nothing alive");
  ComPtr<IClassFactory> factory;
  library.DllGetClassObject(CLSID_CompareUS, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
  if (!checks.Check(factory != nullptr, "class object for the unload checks")) return;
  checks.Result(library.DllCanUnloadNow(), S_OK, "DllCanUnloadNow: yes, a class object alone holds nothing");

  ComPtr<_CompareUS> first;
  ComPtr<_CompareUS> second;
  factory->CreateInstance(nullptr, IID__CompareUS, reinterpret_cast<void**>(first.GetAddressOf()));
  checks.Result(library.DllCanUnloadNow(), S_FALSE, "DllCanUnloadNow: no, while an object lives");
  factory->CreateInstance(nullptr, IID__CompareUS, reinterpret_cast<void**>(second.GetAddressOf()));
  ComPtr<IDispatch> extra;
  first.As(&extra);
  first.Reset();
  checks.Result(library.DllCanUnloadNow(), S_FALSE, "DllCanUnloadNow: no, while another reference to it lives");
  extra.Reset();
  checks.Result(library.DllCanUnloadNow(), S_FALSE, "DllCanUnloadNow: no, while the second object lives");
  second.Reset();
  checks.Result(library.DllCanUnloadNow(), S_OK, "DllCanUnloadNow: yes, after the last release");

  checks.Result(factory->LockServer(TRUE), S_OK, "LockServer(TRUE)");
  checks.Result(library.DllCanUnloadNow(), S_FALSE, "DllCanUnloadNow: no, while locked");
  checks.Result(factory->LockServer(FALSE), S_OK, "LockServer(FALSE)");
  checks.Result(library.DllCanUnloadNow(), S_OK, "DllCanUnloadNow: yes, once unlocked");
}

}  // namespace

void ExportTests(Checks& checks, const Library& library) {
  checks.Check(
      library.DllCanUnloadNow && library.DllGetClassObject && library.DllRegisterServer && library.DllUnregisterServer,
      "the four entry points are exported by name");
  if constexpr (sizeof(void*) == 4) {
    checks.Check(GetProcAddress(library.module, "DllGetClassObject@12") == nullptr,
                 "no __stdcall-decorated name is exported");
  }
  Unloading(checks, library);
  ClassObject(checks, library);
  Interfaces(checks, library);
  checks.Result(library.DllCanUnloadNow(), S_OK, "DllCanUnloadNow: yes, after all of that");
}

}  // namespace vantel::automation::test
