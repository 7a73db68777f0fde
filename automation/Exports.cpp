// The library's entry points: DllMain and the four exports of an in-process
// server (VantelUS.def names them). Each only hands on to the code that does
// the work.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "ClassFactory.h"
#include "Module.h"
#include "Registration.h"
#include "TypeInfo.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  // At process exit (reserved set) other libraries may be gone already: leave
  // the type information alone then.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) vantel::automation::ReleaseTypeInfo();
  return TRUE;
}

STDAPI DllCanUnloadNow() { return vantel::automation::CanUnloadNow() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, LPVOID* object) {
  return vantel::automation::GetClassObject(classId, interfaceId, object);
}

STDAPI DllRegisterServer() { return vantel::automation::RegisterThisServer(); }

STDAPI DllUnregisterServer() { return vantel::automation::UnregisterThisServer(); }
