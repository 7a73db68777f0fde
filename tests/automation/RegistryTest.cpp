// What regsvr32 leaves in the registry, read back in this process's registry
// view; creation by programmatic identifier and from another apartment, which
// rely on it; and what is gone after regsvr32 /u.
#include <objbase.h>

#include <optional>

#include "tests/automation/ClassInfoChecks.h"
#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

constexpr wchar_t kClass[] = L"CLSID\\{4A125F43-6A2F-4D32-8587-0A4C857EA678}";
constexpr wchar_t kProgId[] = L"VantelUS.CompareUS";
constexpr wchar_t kTypeLib[] = L"TypeLib\\{3CF3B38B-6E39-4819-A546-041AFC28D903}";
constexpr wchar_t kInterface[] = L"Interface\\{25692E5E-B88C-4FD7-BB9D-3B8B409DDABA}";
constexpr wchar_t kLibraryId[] = L"{3CF3B38B-6E39-4819-A546-041AFC28D903}";
constexpr const wchar_t* kOwnSystem = sizeof(void*) == 8 ? L"win64" : L"win32";
constexpr const wchar_t* kOtherSystem = sizeof(void*) == 8 ? L"win32" : L"win64";

std::optional<std::wstring> Read(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof data[0];
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data);
}

bool Exists(const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

struct Expected {
  std::wstring key;
  const wchar_t* name;
  std::optional<std::wstring> value;  // nullopt: the value must exist, whatever it holds
};

void Entries(Checks& checks, const std::wstring& dll) {
  const std::wstring classKey = kClass;
  const std::wstring typeLib = kTypeLib;
  const std::wstring interfaceKey = kInterface;
  const Expected entries[] = {
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {classKey + L"\\ProgID", nullptr, kProgId},
      {classKey + L"\\TypeLib", nullptr, kLibraryId},
      {classKey + L"\\VERSION", nullptr, L"1.0"},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, L"{4A125F43-6A2F-4D32-8587-0A4C857EA678}"},
      {typeLib + L"\\1.0", nullptr, L"VantelUS"},
      {typeLib + L"\\1.0\\FLAGS", nullptr, std::nullopt},
      {typeLib + L"\\1.0\\HELPDIR", nullptr, L""},
      {interfaceKey, nullptr, L"_CompareUS"},
      {interfaceKey + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
      {interfaceKey + L"\\TypeLib", nullptr, kLibraryId},
      {interfaceKey + L"\\TypeLib", L"Version", L"1.0"},
  };
  for (const Expected& e : entries) {
    std::string what = "registered " + Utf8(e.key);
    if (e.name != nullptr) what.append(" ").append(Utf8(e.name));
    const std::optional<std::wstring> value = Read(e.key, e.name);
    if (checks.Check(value.has_value(), what + " present") && e.value) checks.Text(*value, *e.value, what + " value");
  }
  const std::optional<std::wstring> server = Read(classKey + L"\\InprocServer32");
  checks.Check(server && SamePath(*server, dll), "registered in-process server is this DLL",
               server ? Utf8(*server) : "");
  const std::optional<std::wstring> library = Read(typeLib + L"\\1.0\\0\\" + kOwnSystem);
  checks.Check(library && SamePath(*library, dll), "registered type library is this DLL",
               library ? Utf8(*library) : "");
}

void Creation(Checks& checks, const std::wstring& dll) {
  CLSID fromProgId{};
  checks.Result(CLSIDFromProgID(kProgId, &fromProgId), S_OK, "VantelUS.CompareUS is known");
  checks.Check(fromProgId == CLSID_CompareUS, "VantelUS.CompareUS leads to the class");
  ComPtr<_CompareUS> object;
  if (!checks.Result(CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID__CompareUS,
                                      reinterpret_cast<void**>(object.GetAddressOf())),
                     S_OK, "created through the registry")) {
    return;
  }
  HMODULE server = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     *reinterpret_cast<LPCWSTR*>(object.Get()), &server);
  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(server, loaded, MAX_PATH);
  checks.Check(SamePath(loaded, dll), "the object comes from this DLL", Utf8(loaded));
  double early = -99;
  double late = -99;
  CompareEarly(object.Get(), {L"cat", L"kat", 2}, early);
  CompareByName(object.Get(), {L"cat", L"kat", 2}, late);
  checks.Number(early, 83.33, "registered object early-bound");
  checks.Number(late, 83.33, "registered object by name");

  // A host that has only the instance finds its class, and through the
  // registry the identifier it was created by.
  ComPtr<IProvideClassInfo> provider;
  ComPtr<ITypeInfo> coclass;
  TYPEATTR* attributes = nullptr;
  object.As(&provider);
  if (!checks.Check(provider && SUCCEEDED(provider->GetClassInfo(coclass.GetAddressOf())) &&
                        SUCCEEDED(coclass->GetTypeAttr(&attributes)),
                    "registered object gives its class")) {
    return;
  }
  const CLSID classId = attributes->guid;
  coclass->ReleaseTypeAttr(attributes);
  LPOLESTR progId = nullptr;
  checks.Result(ProgIDFromCLSID(classId, &progId), S_OK, "the class of the instance is registered");
  checks.Text(progId != nullptr ? progId : L"", kProgId, "the class of the instance is VantelUS.CompareUS");
  CoTaskMemFree(progId);
  checks.Text(HostTypeName(object.Get()), L"CompareUS", "registered object: TypeName as Windows' hosts ask it");
}

// Created from a multi-threaded apartment, the apartment-threaded object lives
// on a thread of its own and is called through the type-library marshaller.
DWORD WINAPI CallFromOtherApartment(void* answer) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ComPtr<_CompareUS> proxy;
  HRESULT hr = CoCreateInstance(CLSID_CompareUS, nullptr, CLSCTX_INPROC_SERVER, IID__CompareUS,
                                reinterpret_cast<void**>(proxy.GetAddressOf()));
  if (SUCCEEDED(hr)) hr = CompareEarly(proxy.Get(), {L"Cat", L"cat", 2}, *static_cast<double*>(answer));
  proxy.Reset();
  CoUninitialize();
  return static_cast<DWORD>(hr);
}

void Marshalling(Checks& checks) {
  double answer = -99;
  HANDLE thread = CreateThread(nullptr, 0, CallFromOtherApartment, &answer, 0, nullptr);
  // This thread is a single-threaded apartment: keep its messages moving.
  DWORD result = 0;
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  GetExitCodeThread(thread, &result);
  CloseHandle(thread);
  checks.Result(static_cast<HRESULT>(result), S_OK, "called from another apartment through the marshaller");
  checks.Number(answer, 83.33, "answer from another apartment");
}

void Gone(Checks& checks, bool everywhere) {
  const std::wstring typeLib = kTypeLib;
  checks.Check(!Exists(kClass), "class removed from this registry view");
  checks.Check(!Exists(typeLib + L"\\1.0\\0\\" + kOwnSystem),
               std::string("type library removed for ") + Utf8(kOwnSystem));
  ComPtr<IUnknown> object;
  checks.Result(CoCreateInstance(CLSID_CompareUS, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(object.GetAddressOf())),
                REGDB_E_CLASSNOTREG, "no longer created");
  if (everywhere) {
    checks.Check(!Exists(kProgId), "programmatic identifier removed");
    checks.Check(!Exists(kTypeLib), "type library removed");
    checks.Check(!Exists(kInterface), "interface removed");
    CLSID id{};
    checks.Check(FAILED(CLSIDFromProgID(kProgId, &id)), "VantelUS.CompareUS no longer known");
  } else {
    // The other build is still registered and shares these.
    checks.Check(Exists(kProgId), "programmatic identifier kept for the other build");
    checks.Check(Exists(typeLib + L"\\1.0\\0\\" + kOtherSystem),
                 std::string("type library kept for ") + Utf8(kOtherSystem));
    checks.Check(Exists(std::wstring(kInterface) + L"\\ProxyStubClsid32"), "interface kept for the other build");
  }
}

}  // namespace

void RegistryTests(Checks& checks, const std::wstring& dll, Registration state) {
  switch (state) {
    case Registration::kRegistered:
      Entries(checks, dll);
      Creation(checks, dll);
      Marshalling(checks);
      return;
    case Registration::kUnregisteredHere: Gone(checks, false); return;
    case Registration::kUnregistered: Gone(checks, true); return;
  }
}

}  // namespace vantel::automation::test
