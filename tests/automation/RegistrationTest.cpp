// Registration for the current user, the way a user without administrator
// rights gets it, read back from the registry; and what unregistration leaves
// alone. (Machine-wide registration is checked through regsvr32 by the client.)
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

#include "VantelUS_h.h"
#include "automation/Registration.h"
#include "tests/automation/Check.h"
#include "tests/automation/ComSupport.h"

namespace vantel::automation::test {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{4A125F43-6A2F-4D32-8587-0A4C857EA678}";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\VantelUS.CompareUS";

struct Expected {
  std::wstring key;
  const wchar_t* name;
  std::wstring value;
};

std::optional<std::wstring> ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof data[0];
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::vector<Expected> UserEntries(const std::wstring& dll) {
  const std::wstring classKey = kClassKey;
  const std::wstring progIdKey = kProgIdKey;
  return {
      {classKey + L"\\InprocServer32", nullptr, dll},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {classKey + L"\\ProgID", nullptr, L"VantelUS.CompareUS"},
      {classKey + L"\\TypeLib", nullptr, L"{3CF3B38B-6E39-4819-A546-041AFC28D903}"},
      {classKey + L"\\VERSION", nullptr, L"1.0"},
      {progIdKey + L"\\CLSID", nullptr, L"{4A125F43-6A2F-4D32-8587-0A4C857EA678}"},
  };
}

void PerUserRegistration(Checks& checks, const std::wstring& dll) {
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kClassKey) && !KeyExists(HKEY_LOCAL_MACHINE, kClassKey),
               "before: the class is registered nowhere");
  checks.Result(RegisterServer(dll, RegistryScope::kUser), S_OK, "per-user registration succeeds");
  for (const Expected& e : UserEntries(dll)) {
    std::string what = "per-user " + Utf8(e.key.substr(17));
    if (e.name != nullptr) what.append(" ").append(Utf8(e.name));
    const std::optional<std::wstring> value = ReadValue(HKEY_CURRENT_USER, e.key, e.name);
    if (checks.Check(value.has_value(), what + " present")) checks.Text(*value, e.value, what + " value");
  }
  checks.Check(!KeyExists(HKEY_LOCAL_MACHINE, kClassKey), "per-user registration writes no machine-wide class");

  Bstr path;
  checks.Result(QueryPathOfRegTypeLib(LIBID_VantelUS, 1, 0, 0, path.out()), S_OK, "the type library is registered");
  checks.Check(CompareStringOrdinal(path.str().c_str(), -1, dll.c_str(), -1, TRUE) == CSTR_EQUAL,
               "the registered type library is this file", Utf8(path.str()));

  checks.Result(UnregisterServer(RegistryScope::kUser), S_OK, "per-user unregistration succeeds");
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kClassKey), "per-user class removed");
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kProgIdKey), "per-user programmatic identifier removed");
  // Wine keeps per-user type libraries machine-wide; unregistering both scopes,
  // as DllUnregisterServer does, removes it wherever it went.
  checks.Result(UnregisterThisServer(), S_OK, "unregistering both scopes succeeds");
  checks.Check(FAILED(QueryPathOfRegTypeLib(LIBID_VantelUS, 1, 0, 0, path.out())),
               "the type library is no longer registered");
  checks.Result(UnregisterThisServer(), S_OK, "unregistering what is not registered succeeds");
}

void FailedRegistrationLeavesNothing(Checks& checks, const std::wstring& dll) {
  const std::wstring missing = dll + L".missing.dll";
  checks.Check(FAILED(RegisterServer(missing, RegistryScope::kUser)), "registering a file that is not there fails");
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kClassKey), "a failed registration writes no class");
  checks.Check(!KeyExists(HKEY_CURRENT_USER, kProgIdKey), "a failed registration writes no programmatic identifier");
}

void ForeignProgIdStays(Checks& checks) {
  const std::wstring foreign = L"{11111111-2222-3333-4444-555555555555}";
  HKEY key = nullptr;
  const std::wstring path = std::wstring(kProgIdKey) + L"\\CLSID";
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                 static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  checks.Result(UnregisterServer(RegistryScope::kUser), S_OK,
                "unregistration beside another class's identifier succeeds");
  const std::optional<std::wstring> value = ReadValue(HKEY_CURRENT_USER, path, nullptr);
  checks.Check(value && *value == foreign, "a programmatic identifier of another class is left alone");
  RegDeleteTreeW(HKEY_CURRENT_USER, kProgIdKey);
}

}  // namespace

void RegistrationTests(Checks& checks, const std::wstring& dll) {
  checks.Check(WritableScope() == RegistryScope::kMachine, "an administrator (as under Wine) registers machine-wide");
  PerUserRegistration(checks, dll);
  FailedRegistrationLeavesNothing(checks, dll);
  ForeignProgIdStays(checks);
}

}  // namespace vantel::automation::test
