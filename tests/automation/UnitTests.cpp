// The server tested from inside: error mapping, the conversion of
// late-bound arguments, registration, the class information of an object. Usage: vantel_automation_tests VantelUS.dll
#include <objbase.h>

#include "tests/automation/Check.h"

namespace vantel::automation::test {
void ErrorReportingTests(Checks& checks);
void CompareArgumentsTests(Checks& checks);
void RegistrationTests(Checks& checks, const std::wstring& dll);
void ClassInfoTests(Checks& checks);
}  // namespace vantel::automation::test

int wmain(int argc, wchar_t** argv) {
  using namespace vantel::automation::test;
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantel_automation_tests VantelUS.dll\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Checks checks;
  ErrorReportingTests(checks);
  CompareArgumentsTests(checks);
  RegistrationTests(checks, argv[1]);
  ClassInfoTests(checks);
  CoUninitialize();
  return checks.Finish(sizeof(void*) == 8 ? "unit-64" : "unit-32");
}
