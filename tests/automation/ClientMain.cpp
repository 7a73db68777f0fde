// The C++ client of VantelUS.dll. Usage:
//   vantel_client module DLL [ANSWERS]   exports, calls, type library, resources
//                                        (and the vantel command's answers)
//   vantel_client registered DLL         after regsvr32
//   vantel_client unregistered-here DLL  after regsvr32 /u of this bitness only
//   vantel_client unregistered DLL       after regsvr32 /u of both
//   vantel_client installed FOLDER machine|user   after the installer
//   vantel_client uninstalled FOLDER [PATH]  after the uninstaller (PATH: the
//                                        user's PATH before installing)
//   vantel_client lock-machine-classes   makes the machine's classes read-only
#include <objbase.h>

#include <string_view>

#include "tests/automation/Client.h"

namespace {

using namespace vantel::automation::test;

template <class Function>
bool Find(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: vantel_client module|registered|unregistered-here|unregistered DLL [ANSWERS]\n"
      "       vantel_client installed FOLDER machine|user | uninstalled FOLDER [PATH] | lock-machine-classes\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring_view(argv[1]) == L"lock-machine-classes") {
    Checks checks;
    LockMachineClasses(checks);
    return checks.Finish("lock-machine-classes");
  }
  if (argc < 3) return Usage();
  const std::wstring_view mode = argv[1];
  const std::wstring dll = argv[2];
  const bool bits64 = sizeof(void*) == 8;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Checks checks;
  if (mode == L"module") {
    Library library;
    library.path = dll;
    library.module = LoadLibraryW(dll.c_str());
    if (checks.Check(library.module != nullptr, "the DLL loads", Utf8(dll))) {
      Find(library.module, "DllCanUnloadNow", library.DllCanUnloadNow);
      Find(library.module, "DllGetClassObject", library.DllGetClassObject);
      Find(library.module, "DllRegisterServer", library.DllRegisterServer);
      Find(library.module, "DllUnregisterServer", library.DllUnregisterServer);
      if (library.DllCanUnloadNow && library.DllGetClassObject) {
        ExportTests(checks, library);
        CallTests(checks, library);
        if (argc > 3) AnswerFileTests(checks, library, argv[3]);
      } else {
        checks.Check(false, "the entry points are exported");
      }
      TypeLibraryTests(checks, library);
      ResourceTests(checks, library);
    }
  } else if (mode == L"registered") {
    RegistryTests(checks, dll, Registration::kRegistered);
  } else if (mode == L"unregistered-here") {
    RegistryTests(checks, dll, Registration::kUnregisteredHere);
  } else if (mode == L"unregistered") {
    RegistryTests(checks, dll, Registration::kUnregistered);
  } else if (mode == L"installed" && argc == 4) {
    InstalledTests(checks, dll, std::wstring_view(argv[3]) == L"user");
  } else if (mode == L"uninstalled") {
    UninstalledTests(checks, dll, argc > 3 ? std::optional<std::wstring>(argv[3]) : std::nullopt);
  } else {
    CoUninitialize();
    return Usage();
  }
  CoUninitialize();
  const std::string suite = "client-" + std::string(bits64 ? "64-" : "32-") + Utf8(mode);
  return checks.Finish(suite.c_str());
}
