// The automation object against the vantel command: the file holds answers
// that the native build computed, and the object must give each of them to
// the bit, early-bound and by name.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/automation/Client.h"

namespace vantel::automation::test {

void AnswerFileTests(Checks& checks, const Library& library, const std::wstring& file) {
  std::ifstream in(file.c_str());
  if (!checks.Check(in.good(), "answer file readable", Utf8(file))) return;
  ComPtr<_CompareUS> object = CreateFromLibrary(library);
  if (!checks.Check(object != nullptr, "an object for the answer file")) return;
  std::string line;
  int number = 0;
  int compared = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string method;
    std::string first;
    std::string second;
    std::string answer;
    std::getline(fields, method, '\t');
    std::getline(fields, first, '\t');
    std::getline(fields, second, '\t');
    std::getline(fields, answer);
    char* end = nullptr;
    const double expected = std::strtod(answer.c_str(), &end);
    const std::string where = "answer file line " + std::to_string(number);
    if (!checks.Check(!answer.empty() && *end == '\0', where + " well-formed", line)) continue;
    const Comparison comparison{Wide(first), Wide(second), static_cast<SHORT>(std::atoi(method.c_str()))};
    double early = -99;
    double late = -99;
    const HRESULT earlyResult = CompareEarly(object.Get(), comparison, early);
    const HRESULT lateResult = CompareByName(object.Get(), comparison, late);
    const std::string what = where + " (" + first + ", " + second + ", " + method + ")";
    checks.Check(SUCCEEDED(earlyResult) && early == expected, what + " early-bound",
                 "got " + std::to_string(early) + ", want " + answer);
    checks.Check(SUCCEEDED(lateResult) && late == expected, what + " by name",
                 "got " + std::to_string(late) + ", want " + answer);
    ++compared;
  }
  checks.Check(compared > 0, "the answer file has answers", std::to_string(compared));
}

}  // namespace vantel::automation::test
