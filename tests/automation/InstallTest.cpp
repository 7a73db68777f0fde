// What the installer leaves in the registry, read back in this process's
// registry view: the registration for the machine or for the current user,
// the folder on the user's PATH and the uninstall entry; and that nothing of
// it is left after the uninstaller ran. Also the means to make the machine's
// classes unwritable, as they are for a user without administrator rights.
#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "VantelUS_h.h"
#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes";
constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{4A125F43-6A2F-4D32-8587-0A4C857EA678}";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\VantelUS.CompareUS";
constexpr wchar_t kClassId[] = L"{4A125F43-6A2F-4D32-8587-0A4C857EA678}";
constexpr wchar_t kTypeLibKey[] = L"TypeLib\\{3CF3B38B-6E39-4819-A546-041AFC28D903}";
constexpr wchar_t kInterfaceKey[] = L"Interface\\{25692E5E-B88C-4FD7-BB9D-3B8B409DDABA}";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantel";
constexpr wchar_t kEnvironmentKey[] = L"Environment";

std::optional<std::wstring> ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return std::nullopt;
  std::vector<wchar_t> data(8192);
  auto size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  return std::wstring(data.data(), size / sizeof(wchar_t)).c_str();
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// How many entries of the user's PATH name `folder`.
int PathEntries(const std::wstring& folder) {
  const std::optional<std::wstring> path = ReadValue(HKEY_CURRENT_USER, kEnvironmentKey, L"Path");
  if (!path) return 0;
  int count = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path->find(L';', start);
    if (SamePath(path->substr(start, end == std::wstring::npos ? std::wstring::npos : end - start), folder)) ++count;
    if (end == std::wstring::npos) return count;
    start = end + 1;
  }
}

std::wstring ThisBuildsDll(const std::wstring& folder) {
  return folder + (sizeof(void*) == 8 ? L"\\x64\\VantelUS.dll" : L"\\x86\\VantelUS.dll");
}

void UninstallEntry(Checks& checks, const std::wstring& folder) {
  const std::optional<std::wstring> name = ReadValue(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName");
  checks.Check(name && name->rfind(L"Vantel ", 0) == 0, "uninstall entry names Vantel", name ? Utf8(*name) : "none");
  const std::optional<std::wstring> location = ReadValue(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation");
  checks.Check(location && SamePath(*location, folder), "uninstall entry holds the folder");
  const std::wstring uninstaller = L"\"" + folder + L"\\uninstall.exe\"";
  const std::optional<std::wstring> command = ReadValue(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString");
  checks.Check(command && SamePath(*command, uninstaller), "uninstall entry runs the uninstaller",
               command ? Utf8(*command) : "none");
  const std::optional<std::wstring> quiet = ReadValue(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString");
  checks.Check(quiet && SamePath(*quiet, uninstaller + L" /S"), "uninstall entry has the silent command");
}

// True when the current user's classes are one key for 32-bit and 64-bit
// programs, as under Wine; Windows keeps HKCU\Software\Classes\CLSID apart
// for 32-bit programs (Wow6432Node), as it does the machine's.
bool UserClassesShareViews() {
  const std::wstring probe = L"Software\\Classes\\CLSID\\{6F1D0C3E-0000-4000-8000-56414E54454C}";
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  const bool shared = KeyExists(HKEY_CURRENT_USER, probe, KEY_WOW64_32KEY);
  RegDeleteKeyExW(HKEY_CURRENT_USER, probe.c_str(), KEY_WOW64_64KEY, 0);
  return shared;
}

}  // namespace

bool LockMachineClasses(Checks& checks) {
  // Read for everyone and the administrators, all for the system: what a user
  // without administrator rights meets on Windows.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!checks.Check(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)(A;;KR;;;BA)(A;;KA;;;SY)",
                                                                         SDDL_REVISION_1, &descriptor, nullptr) != 0,
                    "a read-only security descriptor")) {
    return false;
  }
  bool locked = true;
  for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
    const std::string name = view == KEY_WOW64_64KEY ? "64-bit" : "32-bit";
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClasses, 0, READ_CONTROL | WRITE_DAC | view, &key);
    if (status == ERROR_SUCCESS) {
      status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
      RegCloseKey(key);
    }
    locked &= checks.Check(status == ERROR_SUCCESS, "machine classes (" + name + " view) made read-only",
                           std::to_string(status));
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClasses, 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE | view, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    locked &= checks.Check(status == ERROR_ACCESS_DENIED, "machine classes (" + name + " view) refuse writing",
                           std::to_string(status));
  }
  LocalFree(descriptor);
  return locked;
}

void InstalledTests(Checks& checks, const std::wstring& folder, bool perUser) {
  const std::wstring dll = ThisBuildsDll(folder);
  std::wstring expectedServer = dll;
  if (perUser && sizeof(void*) == 4 && UserClassesShareViews()) {
    // One key for both: the 64-bit DLL, which the installer registers after
    // this one, holds the class there.
    std::printf("note the user's classes are one key for 32-bit and 64-bit programs here (Wine)\n");
    expectedServer = folder + L"\\x64\\VantelUS.dll";
  }
  const std::wstring classKey = kClassKey;
  const std::wstring progIdKey = kProgIdKey;
  const HKEY registered = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  const HKEY other = perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::string scope = perUser ? "per-user" : "machine-wide";
  const std::optional<std::wstring> server = ReadValue(registered, classKey + L"\\InprocServer32", nullptr);
  checks.Check(server && SamePath(*server, expectedServer), scope + " class: the installed DLL is its server",
               server ? Utf8(*server) : "none");
  const std::optional<std::wstring> threading =
      ReadValue(registered, classKey + L"\\InprocServer32", L"ThreadingModel");
  checks.Check(threading && *threading == L"Apartment", scope + " class: apartment-threaded");
  const std::optional<std::wstring> progId = ReadValue(registered, progIdKey + L"\\CLSID", nullptr);
  checks.Check(progId && *progId == kClassId, scope + " programmatic identifier VantelUS.CompareUS");
  checks.Check(!KeyExists(other, classKey), "no " + std::string(perUser ? "machine-wide" : "per-user") + " class");
  checks.Check(!KeyExists(other, progIdKey),
               "no " + std::string(perUser ? "machine-wide" : "per-user") + " programmatic identifier");
  Bstr path;
  checks.Result(QueryPathOfRegTypeLib(LIBID_VantelUS, 1, 0, 0, path.out()), S_OK, "the type library is registered");
  checks.Check(SamePath(path.str(), dll), "the registered type library is the installed DLL", Utf8(path.str()));

  checks.Check(PathEntries(folder) == 1, "the folder is on the user's PATH once", std::to_string(PathEntries(folder)));
  UninstallEntry(checks, folder);
}

void UninstalledTests(Checks& checks, const std::wstring& folder, const std::optional<std::wstring>& pathBefore) {
  const std::wstring classKey = kClassKey;
  for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    const std::string scope = root == HKEY_LOCAL_MACHINE ? "machine-wide" : "per-user";
    checks.Check(!KeyExists(root, classKey), "no " + scope + " class left");
    checks.Check(!KeyExists(root, kProgIdKey), "no " + scope + " programmatic identifier left");
    checks.Check(!KeyExists(root, std::wstring(kClasses) + L"\\" + kTypeLibKey), "no " + scope + " type library left");
    checks.Check(!KeyExists(root, std::wstring(kClasses) + L"\\" + kInterfaceKey), "no " + scope + " interface left");
  }
  checks.Check(!KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey), "no type library left in the merged classes");
  checks.Check(!KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey), "no interface left in the merged classes");
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kUninstallKey), "no uninstall entry left");
  checks.Check(PathEntries(folder) == 0, "the folder is off the user's PATH");
  const std::optional<std::wstring> path = ReadValue(HKEY_CURRENT_USER, kEnvironmentKey, L"Path");
  if (pathBefore) {
    checks.Text(path.value_or(L"(none)"), *pathBefore, "the user's PATH is as it was before");
  } else {
    checks.Check(!path.has_value(), "no PATH value left behind (there was none)", Utf8(path.value_or(L"")));
  }
}

}  // namespace vantel::automation::test
