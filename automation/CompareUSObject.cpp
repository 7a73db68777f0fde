#include "CompareUSObject.h"

#include <new>
#include <string_view>

#include "CompareArguments.h"
#include "ErrorReporting.h"
#include "Identifiers.h"
#include "Module.h"
#include "TypeInfo.h"

namespace vantel::automation {
namespace {

// A BSTR is a counted string of UTF-16 code units, which is what the core
// compares; a null BSTR is the empty string.
std::u16string_view View(BSTR text) noexcept { return {reinterpret_cast<const char16_t*>(text), SysStringLen(text)}; }

}  // namespace

CompareUSObject::CompareUSObject() { ObjectCreated(); }
CompareUSObject::~CompareUSObject() { ObjectDestroyed(); }

HRESULT CompareUSObject::Create(REFIID interfaceId, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CompareUSObject* created = nullptr;
  try {
    created = new CompareUSObject();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = created->QueryInterface(interfaceId, object);
  created->Release();
  return hr;
}

HRESULT CompareUSObject::QueryInterface(REFIID interfaceId, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (interfaceId == IID_IUnknown || interfaceId == IID_IDispatch || interfaceId == IID__CompareUS) {
    *object = static_cast<_CompareUS*>(this);
  } else if (interfaceId == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else if (interfaceId == IID_IProvideClassInfo || interfaceId == IID_IProvideClassInfo2) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CompareUSObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG CompareUSObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CompareUSObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CompareUSObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return GetCompareUSTypeInfo(info);
}

HRESULT CompareUSObject::GetIDsOfNames(REFIID interfaceId, LPOLESTR* names, UINT nameCount, LCID, DISPID* ids) {
  if (interfaceId != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetCompareUSTypeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, nameCount, ids);
  info->Release();
  return hr;
}

HRESULT CompareUSObject::Invoke(DISPID member, REFIID interfaceId, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (interfaceId != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetCompareUSTypeInfo(&info);
  if (FAILED(hr)) return hr;
  auto* self = static_cast<_CompareUS*>(this);
  if (member == VANTEL_DISPID_COMPARE && params != nullptr) {
    try {
      CompareArguments arguments(*params);
      if (arguments.error() != 0) {
        hr = ToDispatchException(ReportRuntimeError(RuntimeError(arguments.error())), exception);
      } else {
        hr = info->Invoke(self, member, flags, arguments.params(), result, exception, argumentError);
      }
    } catch (...) {
      hr = ToDispatchException(ReportCurrentException(), exception);
    }
  } else {
    hr = info->Invoke(self, member, flags, params, result, exception, argumentError);
  }
  info->Release();
  // The type information already turns a failing method into DISP_E_EXCEPTION;
  // this keeps a run-time error's number for dispatch callers should it not.
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr)) hr = ToDispatchException(hr, exception);
  return hr;
}

HRESULT CompareUSObject::Compare(BSTR Lachaine1, BSTR Lachaine2, short* LaMethode, double* Percentage) {
  if (LaMethode == nullptr || Percentage == nullptr) return E_POINTER;
  *Percentage = 0.0;
  return Guarded([&] { *Percentage = comparer_.Compare(View(Lachaine1), View(Lachaine2), *LaMethode); });
}

HRESULT CompareUSObject::InitVT(VARIANT* Empty) {
  if (Empty == nullptr) return E_POINTER;
  VariantInit(Empty);
  return Guarded([&] { comparer_.InitVT(); });
}

HRESULT CompareUSObject::InterfaceSupportsErrorInfo(REFIID interfaceId) {
  return interfaceId == IID__CompareUS ? S_OK : S_FALSE;
}

HRESULT CompareUSObject::GetClassInfo(ITypeInfo** info) { return GetCompareUSClassInfo(info); }

HRESULT CompareUSObject::GetGUID(DWORD kind, GUID* id) {
  if (id == nullptr) return E_POINTER;
  *id = GUID_NULL;
  return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? S_OK : E_INVALIDARG;
}

}  // namespace vantel::automation
