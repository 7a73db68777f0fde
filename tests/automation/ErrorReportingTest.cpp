// The mapping of what the core throws to failure results and error
// information. The built-in rule set raises no run-time error, so the mapping
// is driven here with thrown errors of its own.
#include <new>
#include <stdexcept>

#include "VantelUS_h.h"
#include "automation/ErrorReporting.h"
#include "tests/automation/Check.h"
#include "tests/automation/ComSupport.h"

namespace vantel::automation::test {
namespace {

struct ResultCase {
  std::int32_t number;
  HRESULT expected;
};

void ResultsOfRuntimeErrors(Checks& checks) {
  const ResultCase cases[] = {
      {error::kInvalidProcedureCall, static_cast<HRESULT>(0x800A0005)},
      {error::kOverflow, static_cast<HRESULT>(0x800A0006)},
      {error::kSubscriptOutOfRange, static_cast<HRESULT>(0x800A0009)},
      {error::kTypeMismatch, static_cast<HRESULT>(0x800A000D)},
      {error::kRegexSyntax, static_cast<HRESULT>(0x800A1399)},
      {1, static_cast<HRESULT>(0x800A0001)},
      {65535, static_cast<HRESULT>(0x800AFFFF)},
      {65536, E_FAIL},
      {0, E_FAIL},
      {static_cast<std::int32_t>(E_OUTOFMEMORY), E_OUTOFMEMORY},
  };
  for (const ResultCase& c : cases) {
    checks.Result(ResultOfRuntimeError(c.number), c.expected, "result of run-time error " + std::to_string(c.number));
  }
}

struct ThrownCase {
  const char* what;
  void (*raise)();
  HRESULT expected;
  const wchar_t* description;
};

void ThrownErrorsBecomeResultsWithErrorInfo(Checks& checks) {
  const ThrownCase cases[] = {
      {"RuntimeError(6)", [] { throw RuntimeError(error::kOverflow); }, static_cast<HRESULT>(0x800A0006), L"Overflow"},
      {"RuntimeError(5017)", [] { throw RuntimeError(error::kRegexSyntax); }, static_cast<HRESULT>(0x800A1399),
       L"Syntax error in regular expression"},
      {"RuntimeError(5)", [] { throw RuntimeError(error::kInvalidProcedureCall); }, static_cast<HRESULT>(0x800A0005),
       L"Invalid procedure call or argument"},
      // A description is UTF-8 in the core and must arrive as the same characters.
      {"RuntimeError(9, non-ASCII text)",
       [] { throw RuntimeError(9, "Indice hors de la plage \xE2\x80\x94 \xC5\x82\xE4\xB8\xAD"); },
       static_cast<HRESULT>(0x800A0009), L"Indice hors de la plage \u2014 \u0142\u4E2D"},
      {"std::bad_alloc", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
      {"std::runtime_error", [] { throw std::runtime_error("rule table damaged"); }, E_UNEXPECTED,
       L"rule table damaged"},
      {"a thrown int", [] { throw 42; }, E_UNEXPECTED, L"Unexpected error"},
  };
  for (const ThrownCase& c : cases) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = Guarded(c.raise);
    const std::string name = c.what;
    checks.Result(hr, c.expected, name + ": result");
    const ErrorInfoText info = TakeErrorInfo();
    if (checks.Check(info.present, name + ": error information set")) {
      checks.Text(info.description, c.description, name + ": description");
      checks.Text(info.source, L"VantelUS.CompareUS", name + ": source");
      checks.Check(info.guid == IID__CompareUS, name + ": interface of the error");
    }
  }
}

void NothingThrownIsSuccessWithoutErrorInfo(Checks& checks) {
  SetErrorInfo(0, nullptr);
  int ran = 0;
  checks.Result(Guarded([&] { ++ran; }), S_OK, "a body that does not throw succeeds");
  checks.Check(ran == 1, "the body runs once");
  checks.Check(!TakeErrorInfo().present, "no error information after success");
}

void DispatchCallersGetTheExceptionFilledIn(Checks& checks) {
  SetErrorInfo(0, nullptr);
  const HRESULT failure = ReportRuntimeError(RuntimeError(error::kOverflow));
  EXCEPINFO exception{};
  checks.Result(ToDispatchException(failure, &exception), DISP_E_EXCEPTION, "dispatch result");
  checks.Result(exception.scode, static_cast<HRESULT>(0x800A0006), "EXCEPINFO scode");
  checks.Check(exception.wCode == 0, "EXCEPINFO wCode left 0 (scode holds the error)");
  checks.Text(exception.bstrDescription ? exception.bstrDescription : L"", L"Overflow", "EXCEPINFO description");
  checks.Text(exception.bstrSource ? exception.bstrSource : L"", L"VantelUS.CompareUS", "EXCEPINFO source");
  checks.Check(!TakeErrorInfo().present, "error information moved into EXCEPINFO, not left behind");
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);

  ReportRuntimeError(RuntimeError(error::kTypeMismatch));
  checks.Result(ToDispatchException(static_cast<HRESULT>(0x800A000D), nullptr), DISP_E_EXCEPTION,
                "dispatch result without EXCEPINFO");
  checks.Text(TakeErrorInfo().description, L"Type mismatch", "without EXCEPINFO the error information stays");
}

}  // namespace

void ErrorReportingTests(Checks& checks) {
  ResultsOfRuntimeErrors(checks);
  ThrownErrorsBecomeResultsWithErrorInfo(checks);
  NothingThrownIsSuccessWithoutErrorInfo(checks);
  DispatchCallersGetTheExceptionFilledIn(checks);
}

}  // namespace vantel::automation::test
