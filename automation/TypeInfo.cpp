#include "TypeInfo.h"

#include <string>

#include "Module.h"
#include "VantelUS_h.h"

namespace vantel::automation {
namespace {

ITypeInfo* cachedInterface = nullptr;
ITypeInfo* cachedClass = nullptr;

HRESULT LoadTypeInfo(REFGUID id, ITypeInfo** info) noexcept {
  std::wstring path;
  try {
    path = ModulePath();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  ITypeLib* library = nullptr;
  // Read it from the file, not from the registry: the server works before and
  // without registration, and always with the type library it was built with.
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(id, info);
  library->Release();
  return hr;
}

// The type information of `id`, kept in `cell` once loaded.
HRESULT GetCached(ITypeInfo*& cell, REFGUID id, ITypeInfo** info) noexcept {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeInfo* cached = static_cast<ITypeInfo*>(
      InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&cell), nullptr, nullptr));
  if (cached == nullptr) {
    ITypeInfo* loaded = nullptr;
    const HRESULT hr = LoadTypeInfo(id, &loaded);
    if (FAILED(hr)) return hr;
    // Objects in several apartments may get here at once: one copy is kept.
    cached = static_cast<ITypeInfo*>(
        InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&cell), loaded, nullptr));
    if (cached == nullptr) {
      cached = loaded;
    } else {
      loaded->Release();
    }
  }
  cached->AddRef();
  *info = cached;
  return S_OK;
}

void Drop(ITypeInfo*& cell) noexcept {
  auto* info = static_cast<ITypeInfo*>(InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&cell), nullptr));
  if (info != nullptr) info->Release();
}

}  // namespace

HRESULT GetCompareUSTypeInfo(ITypeInfo** info) noexcept { return GetCached(cachedInterface, IID__CompareUS, info); }

HRESULT GetCompareUSClassInfo(ITypeInfo** info) noexcept { return GetCached(cachedClass, CLSID_CompareUS, info); }

void ReleaseTypeInfo() noexcept {
  Drop(cachedInterface);
  Drop(cachedClass);
}

}  // namespace vantel::automation
