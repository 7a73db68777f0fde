// An object of the class CompareUS: one vantel::CompareUS behind the dual
// interface _CompareUS, with IDispatch described by the embedded type
// information, ISupportErrorInfo for the errors that its methods report, and
// IProvideClassInfo2, through which hosts find the object's class (TypeName
// in VBScript and VBA says CompareUS, the class, not _CompareUS).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include "VantelUS_h.h"
#include "vantel/CompareUS.h"

namespace vantel::automation {

class CompareUSObject final : public _CompareUS, public ISupportErrorInfo, public IProvideClassInfo2 {
 public:
  // A new, independent object, handed out through `interfaceId`.
  static HRESULT Create(REFIID interfaceId, void** object) noexcept;

  CompareUSObject(const CompareUSObject&) = delete;
  CompareUSObject& operator=(const CompareUSObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID interfaceId, LPOLESTR* names, UINT nameCount, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID interfaceId, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // _CompareUS
  HRESULT STDMETHODCALLTYPE Compare(BSTR Lachaine1, BSTR Lachaine2, short* LaMethode, double* Percentage) override;
  HRESULT STDMETHODCALLTYPE InitVT(VARIANT* Empty) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID interfaceId) override;

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

  // IProvideClassInfo2: the class has no event interface, so the default
  // source interface is GUID_NULL.
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* id) override;

 private:
  CompareUSObject();
  ~CompareUSObject();

  LONG references_ = 1;
  CompareUS comparer_;
};

}  // namespace vantel::automation
