// The library's resources: the type library and the interface identifier,
// language-neutral, and the French version information with its values.
#include <cstring>
#include <vector>

#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
const WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);

void InterfaceIdentifier(Checks& checks, HMODULE module, const std::wstring& path) {
  checks.Check(FindResourceExW(module, L"TYPELIB", MAKEINTRESOURCEW(1), kNeutral) != nullptr,
               "resource TYPELIB 1, language-neutral");
  HRSRC found = FindResourceExW(module, L"_IID_COMPAREUS", MAKEINTRESOURCEW(1), kNeutral);
  if (!checks.Check(found != nullptr, "resource _IID_COMPAREUS 1, language-neutral")) return;
  const DWORD size = SizeofResource(module, found);
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  if (!checks.Check(bytes != nullptr && size == 20, "_IID_COMPAREUS holds 20 bytes", std::to_string(size))) return;
  DWORD count = 0;
  std::memcpy(&count, bytes, sizeof count);
  checks.Check(count == 16, "_IID_COMPAREUS starts with the byte count 16");
  GUID stored{};
  std::memcpy(&stored, bytes + 4, sizeof stored);
  checks.Check(stored == IID__CompareUS, "_IID_COMPAREUS holds the interface identifier");

  // The same identifier as the type library gives it, so that the two
  // resources cannot drift apart.
  ComPtr<ITypeLib> library;
  ComPtr<ITypeInfo> info;
  TYPEATTR* attributes = nullptr;
  if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.GetAddressOf())) &&
      SUCCEEDED(library->GetTypeInfo(0, info.GetAddressOf())) && SUCCEEDED(info->GetTypeAttr(&attributes))) {
    checks.Check(stored == attributes->guid, "_IID_COMPAREUS matches the type library's _CompareUS");
    info->ReleaseTypeAttr(attributes);
  } else {
    checks.Check(false, "_IID_COMPAREUS matches the type library's _CompareUS", "type library not readable");
  }
}

std::wstring QueryString(const std::vector<BYTE>& block, const wchar_t* key, bool& found) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040C04B0\\") + key;
  void* value = nullptr;
  UINT length = 0;
  found = VerQueryValueW(block.data(), path.c_str(), &value, &length) != FALSE && value != nullptr;
  if (!found || length == 0) return {};
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, length));
}

void VersionInformation(Checks& checks, HMODULE module, const std::wstring& path) {
  checks.Check(FindResourceExW(module, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kFrench) != nullptr,
               "version resource 1 in French");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (!checks.Check(size > 0, "version information readable")) return;
  std::vector<BYTE> block(size);
  if (!checks.Check(GetFileVersionInfoW(path.c_str(), 0, size, block.data()) != FALSE, "version information read"))
    return;

  void* value = nullptr;
  UINT length = 0;
  if (checks.Check(VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO),
                   "fixed version information")) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    checks.Check(fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0, "file version 1.0.0.0");
    checks.Check(fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0, "product version 1.0.0.0");
    checks.Check(fixed->dwFileOS == VOS__WINDOWS32, "operating system: 32-bit Windows");
    checks.Check(fixed->dwFileType == VFT_DLL, "file type: dynamic library");
    checks.Check((fixed->dwFileFlags & fixed->dwFileFlagsMask) == 0, "no file flags");
  }
  if (checks.Check(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4,
                   "translation table")) {
    const auto* pair = static_cast<const WORD*>(value);
    checks.Check(pair[0] == 0x040C && pair[1] == 1200, "translation: French (0x040C), Unicode (1200)");
  }

  struct Entry {
    const wchar_t* key;
    const wchar_t* value;
  };
  const Entry entries[] = {
      {L"FileDescription", L"Vantel"}, {L"ProductName", L"Vantel"},    {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},    {L"InternalName", L"VantelUS"}, {L"OriginalFilename", L"VantelUS.dll"},
      {L"OLESelfRegister", L""},
  };
  for (const Entry& e : entries) {
    bool found = false;
    const std::wstring text = QueryString(block, e.key, found);
    if (checks.Check(found, "version string " + Utf8(e.key) + " present")) {
      checks.Text(text, e.value, "version string " + Utf8(e.key));
    }
  }
  for (const wchar_t* key : {L"CompanyName", L"LegalCopyright", L"LegalTrademarks"}) {
    bool found = false;
    checks.Check(!QueryString(block, key, found).empty(), "version string " + Utf8(key) + " filled in");
  }
}

}  // namespace

void ResourceTests(Checks& checks, const Library& library) {
  InterfaceIdentifier(checks, library.module, library.path);
  VersionInformation(checks, library.module, library.path);
}

}  // namespace vantel::automation::test
