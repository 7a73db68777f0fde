#include "Registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <vector>

#include "Module.h"
#include "VantelUS_h.h"

// oleaut32 exports these (Windows Vista and later), but MinGW-w64's oleauto.h
// does not declare them.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID locale,
                                                   SYSKIND system);

namespace vantel::automation {
namespace {

// One value of the class's registration, under Software\Classes of a scope.
struct RegistryValue {
  std::wstring key;
  std::wstring name;  // empty: the key's default value
  std::wstring data;
};

constexpr WORD kMajorVersion = 1;
constexpr WORD kMinorVersion = 0;
constexpr LCID kLocale = 0;
// This build's kind of system, and that of the library's other build (the
// 64-bit one for a 32-bit build, and the other way round).
constexpr SYSKIND kSystem = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr SYSKIND kOtherSystem = sizeof(void*) == 8 ? SYS_WIN32 : SYS_WIN64;
constexpr wchar_t kClasses[] = L"Software\\Classes\\";

// Keys under CLSID are kept apart for 32-bit and 64-bit servers; this is the
// view that the other kind of process sees.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring ToString(REFGUID id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return text;
}

HKEY RootOf(RegistryScope scope) noexcept {
  return scope == RegistryScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring ClassKey() { return L"CLSID\\" + ToString(CLSID_CompareUS); }

// Where the type library's file is recorded for `system`.
std::wstring TypeLibKey(SYSKIND system) {
  return std::wstring(L"TypeLib\\") + ToString(LIBID_VantelUS) + L"\\1.0\\0\\" +
         (system == SYS_WIN64 ? L"win64" : L"win32");
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0) noexcept {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[256] = {};
  DWORD size = sizeof data - sizeof data[0];
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return {};
  return data;
}

LSTATUS WriteString(HKEY root, const RegistryValue& value) noexcept {
  HKEY key = nullptr;
  const std::wstring path = kClasses + value.key;
  LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
  status = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.data.c_str()), bytes);
  RegCloseKey(key);
  return status;
}

// ERROR_SUCCESS also when the key was not there.
LSTATUS DeleteTree(HKEY root, const std::wstring& key) noexcept {
  const LSTATUS status = RegDeleteTreeW(root, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// The values that register the class and its programmatic identifier for the
// server at `modulePath`. The type library's entries are the platform's.
std::vector<RegistryValue> ClassEntries(const std::wstring& modulePath) {
  const std::wstring classKey = ClassKey();
  const std::wstring progIdKey = kProgId;
  return {
      {classKey, L"", kProgId},
      {classKey + L"\\InprocServer32", L"", modulePath},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {classKey + L"\\ProgID", L"", kProgId},
      {classKey + L"\\TypeLib", L"", ToString(LIBID_VantelUS)},
      {classKey + L"\\VERSION", L"", L"1.0"},
      {progIdKey, L"", kProgId},
      {progIdKey + L"\\CLSID", L"", ToString(CLSID_CompareUS)},
  };
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath, RegistryScope scope) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  std::wstring path = modulePath;
  wchar_t noHelpDirectory[] = L"";
  hr = scope == RegistryScope::kMachine ? RegisterTypeLib(library, path.data(), noHelpDirectory)
                                        : RegisterTypeLibForUser(library, path.data(), noHelpDirectory);
  library->Release();
  return hr;
}

HRESULT UnregisterTypeLibrary(RegistryScope scope) {
  const HKEY root = RootOf(scope);
  if (!KeyExists(root, kClasses + TypeLibKey(kSystem))) return S_OK;
  // With the other build still registered, only this build's file goes: the
  // platform's unregistration would also remove the interface's entries,
  // which both builds share.
  if (KeyExists(root, kClasses + TypeLibKey(kOtherSystem))) {
    return HRESULT_FROM_WIN32(DeleteTree(root, kClasses + TypeLibKey(kSystem)));
  }
  return scope == RegistryScope::kMachine
             ? UnRegisterTypeLib(LIBID_VantelUS, kMajorVersion, kMinorVersion, kLocale, kSystem)
             : UnRegisterTypeLibForUser(LIBID_VantelUS, kMajorVersion, kMinorVersion, kLocale, kSystem);
}

}  // namespace

RegistryScope WritableScope() noexcept {
  HKEY classes = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &classes) !=
      ERROR_SUCCESS) {
    return RegistryScope::kUser;
  }
  RegCloseKey(classes);
  return RegistryScope::kMachine;
}

HRESULT RegisterServer(const std::wstring& modulePath, RegistryScope scope) noexcept {
  try {
    HRESULT hr = RegisterTypeLibrary(modulePath, scope);
    if (FAILED(hr)) return hr;
    for (const RegistryValue& value : ClassEntries(modulePath)) {
      const LSTATUS status = WriteString(RootOf(scope), value);
      if (status != ERROR_SUCCESS) {
        UnregisterServer(scope);
        return HRESULT_FROM_WIN32(status);
      }
    }
    return S_OK;
  } catch (...) {
    UnregisterServer(scope);
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer(RegistryScope scope) noexcept {
  try {
    const HKEY root = RootOf(scope);
    HRESULT result = UnregisterTypeLibrary(scope);
    const std::wstring classKey = kClasses + ClassKey();
    LSTATUS status = DeleteTree(root, classKey);
    if (status != ERROR_SUCCESS && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(status);

    const std::wstring progIdKey = kClasses + std::wstring(kProgId);
    const bool progIdIsOurs = ReadString(root, progIdKey + L"\\CLSID", nullptr) == ToString(CLSID_CompareUS);
    if (progIdIsOurs && !KeyExists(root, classKey, kOtherView)) {
      status = DeleteTree(root, progIdKey);
      if (status != ERROR_SUCCESS && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(status);
    }
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RegisterThisServer() noexcept {
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    return RegisterServer(path, WritableScope());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterThisServer() noexcept {
  const HRESULT user = UnregisterServer(RegistryScope::kUser);
  const HRESULT machine = UnregisterServer(RegistryScope::kMachine);
  return FAILED(machine) ? machine : user;
}

}  // namespace vantel::automation
