// vantel.exe's side of Windows (cli/WindowsConsole.h), run under Wine: the
// UTF-16 arguments as UTF-8, and the standard streams over files as bytes
// that are neither translated nor cut short, with a failed write reported.
// (A console, where they carry UTF-16, is driven by scripts/test-windows.sh
// through a terminal.) Usage: vantel_windows_cli_tests SCRATCH_FOLDER
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/WindowsConsole.h"
#include "tests/automation/Check.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace {

using vantel::automation::test::Checks;

struct Conversion {
  const char* name;
  std::wstring utf16;
  std::string utf8;
  bool valid;  // whether the command will take it as text
};

void Conversions(Checks& checks) {
  const Conversion cases[] = {
      {"empty", L"", "", true},
      {"ASCII", L"cat", "cat", true},
      {"Polish", L"\u0141ukasz", "\xC5\x81ukasz", true},
      {"Chinese", L"\u4E2D\u6587", "\xE4\xB8\xAD\xE6\x96\x87", true},
      {"a surrogate pair", L"\xD83D\xDE00!", "\xF0\x9F\x98\x80!", true},
      {"the last code point", L"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF", true},
      {"U+FFFF", L"\xFFFF", "\xEF\xBF\xBF", true},
      {"a lone high surrogate",
       L"a\xD800"
       L"b",
       "a\xED\xA0\x80"
       "b",
       false},
      {"a lone low surrogate", L"\xDC00", "\xED\xB0\x80", false},
      {"a high surrogate at the end", L"x\xDBFF", "x\xED\xAF\xBF", false},
      {"two high surrogates", L"\xD800\xD800\xDC00", "\xED\xA0\x80\xF0\x90\x80\x80", false},
  };
  for (const Conversion& c : cases) {
    const std::string got = vantel::cli::windows::ToUtf8(c.utf16.data(), c.utf16.size());
    checks.Check(got == c.utf8, std::string("UTF-8 of ") + c.name);
    bool taken = true;
    try {
      static_cast<void>(vantel::Utf8ToUtf16(got));
    } catch (const vantel::InvalidUtf8&) {
      taken = false;
    }
    checks.Check(taken == c.valid, std::string(c.name) + (c.valid ? " is taken as text" : " is refused as text"));
  }
  const wchar_t* argv[] = {L"vantel.exe", L"compare", L"\u0141ukasz", L"\u4E2D\u6587"};
  const std::vector<std::string> args = vantel::cli::windows::Utf8Arguments(4, argv);
  checks.Check(args == std::vector<std::string>{"compare", "\xC5\x81ukasz", "\xE4\xB8\xAD\xE6\x96\x87"},
               "the arguments after the program name, as UTF-8");
}

HANDLE OpenFile(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  std::string bytes;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) bytes.append(buffer, count);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
  DWORD count = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr);
  CloseHandle(file);
}

// Standard output and error to files, standard input from one, for the life
// of one StandardStreams.
void Redirected(Checks& checks, const std::wstring& folder) {
  const std::wstring in = folder + L"\\in.txt";
  const std::wstring out = folder + L"\\out.txt";
  const std::wstring err = folder + L"\\err.txt";
  std::string input =
      "line one\r\n\xC5\x81ukasz\n\xEF\xBB\xBF"
      "bom\n";
  // Longer than one buffer, and a sequence split at its end.
  input += std::string(64 * 1024 - 1, 'x') + "\xE4\xB8\xAD\n";
  WriteAll(in, input);
  HANDLE inFile = OpenFile(in, GENERIC_READ, OPEN_EXISTING);
  HANDLE outFile = OpenFile(out, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE errFile = OpenFile(err, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE saved[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                          GetStdHandle(STD_ERROR_HANDLE)};
  SetStdHandle(STD_INPUT_HANDLE, inFile);
  SetStdHandle(STD_OUTPUT_HANDLE, outFile);
  SetStdHandle(STD_ERROR_HANDLE, errFile);
  std::string read;
  bool outGood = false;
  {
    const vantel::cli::windows::StandardStreams streams;
    std::string line;
    while (std::getline(std::cin, line)) read += line + "|";
    std::cout << "83.33\n"
              << "\xC5\x81ukasz\t\xE4\xB8\xAD\xE6\x96\x87\n"
              << std::string(70000, 'y') << '\n';
    std::cerr << "vantel: a message\n";
    std::cout.flush();
    outGood = static_cast<bool>(std::cout);
  }
  SetStdHandle(STD_INPUT_HANDLE, saved[0]);
  SetStdHandle(STD_OUTPUT_HANDLE, saved[1]);
  SetStdHandle(STD_ERROR_HANDLE, saved[2]);
  CloseHandle(inFile);
  CloseHandle(outFile);
  CloseHandle(errFile);
  checks.Check(read ==
                   "line one\r|\xC5\x81ukasz|\xEF\xBB\xBF"
                   "bom|" +
                       std::string(64 * 1024 - 1, 'x') + "\xE4\xB8\xAD|",
               "standard input from a file: its bytes as they are");
  checks.Check(outGood, "writing to a file succeeds");
  checks.Check(ReadAll(out) == "83.33\n\xC5\x81ukasz\t\xE4\xB8\xAD\xE6\x96\x87\n" + std::string(70000, 'y') + "\n",
               "standard output to a file: UTF-8 bytes, no CR added, nothing cut short");
  checks.Check(ReadAll(err) == "vantel: a message\n", "standard error to a file: the bytes as they are");
}

void FailedWrite(Checks& checks, const std::wstring& folder) {
  const std::wstring path = folder + L"\\read-only.txt";
  WriteAll(path, "");
  // A handle that may not be written: every write fails, as on a full disk.
  HANDLE readOnly = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, readOnly);
  bool good = true;
  {
    const vantel::cli::windows::StandardStreams streams;
    std::cout << "83.33\n";
    std::cout.flush();
    good = static_cast<bool>(std::cout);
    std::cout.clear();
  }
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(readOnly);
  checks.Check(!good, "a failed write to standard output fails the stream");
  // With no standard output at all, the same.
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  {
    const vantel::cli::windows::StandardStreams streams;
    std::cout << "83.33\n";
    std::cout.flush();
    good = static_cast<bool>(std::cout);
    std::cout.clear();
  }
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  checks.Check(!good, "without a standard output, writing fails the stream");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantel_windows_cli_tests SCRATCH_FOLDER\n");
    return 2;
  }
  std::ios::sync_with_stdio(false);
  Checks checks;
  Conversions(checks);
  Redirected(checks, argv[1]);
  FailedWrite(checks, argv[1]);
  return checks.Finish(sizeof(void*) == 8 ? "windows-cli-64" : "windows-cli-32");
}
