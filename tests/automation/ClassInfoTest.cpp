// IProvideClassInfo and IProvideClassInfo2 of an object made by the server's
// own code (this program carries the type library as the DLL does).
#include "automation/CompareUSObject.h"
#include "automation/Module.h"
#include "tests/automation/ClassInfoChecks.h"

namespace vantel::automation::test {

void ClassInfoTests(Checks& checks) {
  ComPtr<IUnknown> object;
  if (!checks.Result(CompareUSObject::Create(IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())), S_OK,
                     "inside: an object of CompareUS")) {
    return;
  }
  ClassInfoChecks(checks, object.Get(), "inside");
  ComPtr<ITypeInfo> coclass;
  ComPtr<IProvideClassInfo> provider;
  object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(provider.GetAddressOf()));
  if (provider) provider->GetClassInfo(coclass.GetAddressOf());
  provider.Reset();
  object.Reset();
  // The class information a host keeps does not keep the object alive.
  checks.Check(CanUnloadNow(), "inside: with the object released, the library may unload");
  checks.Text(TypeInfoName(coclass.Get()), L"CompareUS", "inside: the class information outlives the object");
}

}  // namespace vantel::automation::test
