// What a host learns of an object's class from the object itself, through
// IProvideClassInfo and IProvideClassInfo2: the checks that both the server's
// own tests and the C++ client make on an object of CompareUS.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "VantelUS_h.h"
#include "tests/automation/Check.h"
#include "tests/automation/ComSupport.h"

namespace vantel::automation::test {

inline std::wstring TypeInfoName(ITypeInfo* info) {
  Bstr name;
  if (info == nullptr || FAILED(info->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr))) return {};
  return name.str();
}

// The name that Windows' VBScript and VBA show for TypeName(object): the class
// from IProvideClassInfo when the object offers it, else the name of what
// IDispatch::GetTypeInfo describes.
inline std::wstring HostTypeName(IUnknown* object) {
  ComPtr<IProvideClassInfo> provider;
  ComPtr<ITypeInfo> info;
  if (SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(provider.GetAddressOf()))) &&
      SUCCEEDED(provider->GetClassInfo(info.GetAddressOf()))) {
    return TypeInfoName(info.Get());
  }
  ComPtr<IDispatch> dispatch;
  if (SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
      SUCCEEDED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.ReleaseAndGetAddressOf()))) {
    return TypeInfoName(info.Get());
  }
  return L"Object";
}

// `where` names the program in the check lines ("inside", "client").
inline void ClassInfoChecks(Checks& checks, IUnknown* object, const std::string& where) {
  const std::string of = where + ": ";
  ComPtr<IProvideClassInfo> provider;
  ComPtr<IProvideClassInfo2> provider2;
  if (!checks.Result(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(provider.GetAddressOf())),
                     S_OK, of + "the object offers IProvideClassInfo") ||
      !checks.Result(object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(provider2.GetAddressOf())),
                     S_OK, of + "the object offers IProvideClassInfo2")) {
    return;
  }
  ComPtr<IUnknown> identity;
  ComPtr<IUnknown> back;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf()));
  provider->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(back.GetAddressOf()));
  checks.Check(identity && identity.Get() == back.Get(), of + "IProvideClassInfo belongs to the same object");
  ComPtr<_CompareUS> dual;
  checks.Result(provider2->QueryInterface(IID__CompareUS, reinterpret_cast<void**>(dual.GetAddressOf())), S_OK,
                of + "from IProvideClassInfo2 back to _CompareUS");

  checks.Result(provider->GetClassInfo(nullptr), E_POINTER, of + "GetClassInfo(null)");
  ComPtr<ITypeInfo> coclass;
  if (!checks.Result(provider->GetClassInfo(coclass.GetAddressOf()), S_OK, of + "GetClassInfo") ||
      !checks.Check(coclass != nullptr, of + "GetClassInfo hands out the class")) {
    return;
  }
  checks.Text(TypeInfoName(coclass.Get()), L"CompareUS", of + "the class is named CompareUS");
  TYPEATTR* attributes = nullptr;
  if (checks.Result(coclass->GetTypeAttr(&attributes), S_OK, of + "class attributes")) {
    checks.Check(attributes->typekind == TKIND_COCLASS, of + "the class information describes a class");
    checks.Check(attributes->guid == CLSID_CompareUS, of + "the class identifier is CompareUS's");
    checks.Check(attributes->wTypeFlags == TYPEFLAG_FCANCREATE, of + "the class is creatable");
    checks.Check(attributes->cImplTypes == 1, of + "the class implements one interface");
    coclass->ReleaseTypeAttr(attributes);
  }
  INT implFlags = 0;
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> implemented;
  coclass->GetImplTypeFlags(0, &implFlags);
  coclass->GetRefTypeOfImplType(0, &ref);
  coclass->GetRefTypeInfo(ref, implemented.GetAddressOf());
  checks.Check(implFlags == IMPLTYPEFLAG_FDEFAULT && TypeInfoName(implemented.Get()) == L"_CompareUS",
               of + "its default interface is _CompareUS");
  ComPtr<ITypeInfo> second;
  provider2->GetClassInfo(second.GetAddressOf());
  checks.Text(TypeInfoName(second.Get()), L"CompareUS", of + "IProvideClassInfo2 gives the same class");

  // The class and the dispatch description come from one type library.
  ComPtr<IDispatch> dispatch;
  ComPtr<ITypeInfo> described;
  object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
  if (dispatch) dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, described.GetAddressOf());
  checks.Text(TypeInfoName(described.Get()), L"_CompareUS", of + "IDispatch still describes _CompareUS");
  ComPtr<ITypeLib> classLibrary;
  ComPtr<ITypeLib> dispatchLibrary;
  UINT index = 0;
  coclass->GetContainingTypeLib(classLibrary.GetAddressOf(), &index);
  if (described) described->GetContainingTypeLib(dispatchLibrary.GetAddressOf(), &index);
  TLIBATTR* first = nullptr;
  TLIBATTR* other = nullptr;
  if (classLibrary && dispatchLibrary && SUCCEEDED(classLibrary->GetLibAttr(&first)) &&
      SUCCEEDED(dispatchLibrary->GetLibAttr(&other))) {
    checks.Check(first->guid == LIBID_VantelUS && other->guid == LIBID_VantelUS,
                 of + "class and interface come from the library VantelUS");
  } else {
    checks.Check(false, of + "class and interface come from the library VantelUS", "no containing library");
  }
  if (first != nullptr) classLibrary->ReleaseTLibAttr(first);
  if (other != nullptr) dispatchLibrary->ReleaseTLibAttr(other);

  checks.Text(HostTypeName(object), L"CompareUS", of + "TypeName as Windows' VBScript and VBA ask it");

  GUID source = IID_IDispatch;
  checks.Result(provider2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK,
                of + "GetGUID(default source interface)");
  checks.Check(source == GUID_NULL, of + "no event interface: the default source interface is GUID_NULL");
  GUID unknown = IID_IDispatch;
  checks.Result(provider2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &unknown), E_INVALIDARG,
                of + "GetGUID of an unknown kind");
  checks.Check(unknown == GUID_NULL, of + "GetGUID of an unknown kind clears the identifier");
  checks.Result(provider2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER, of + "GetGUID(null)");

  // The object answers as before.
  if (dual) {
    Bstr cat(L"cat");
    Bstr kat(L"kat");
    SHORT method = 2;
    double answer = -99;
    dual->Compare(cat.get(), kat.get(), &method, &answer);
    checks.Number(answer, 83.33, of + "the object answers after its class was asked for");
  }
}

}  // namespace vantel::automation::test
