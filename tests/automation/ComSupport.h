// Owners for the platform's strings and interfaces in the tests.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace vantel::automation::test {

using Microsoft::WRL::ComPtr;

// A BSTR owned for one scope.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }

  BSTR get() const { return value_; }
  // For out-parameters: frees what it held.
  BSTR* out() {
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  std::wstring str() const { return {value_, SysStringLen(value_)}; }
  bool null() const { return value_ == nullptr; }

 private:
  BSTR value_ = nullptr;
};

// VARIANTs as a caller builds its arguments. They own nothing: a string one
// refers to a BSTR owned elsewhere.
inline VARIANT Variant(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  return v;
}
inline VARIANT ShortVariant(SHORT value) {
  VARIANT v = Variant(VT_I2);
  V_I2(&v) = value;
  return v;
}
inline VARIANT LongVariant(LONG value) {
  VARIANT v = Variant(VT_I4);
  V_I4(&v) = value;
  return v;
}
inline VARIANT StringVariant(BSTR text) {
  VARIANT v = Variant(VT_BSTR);
  V_BSTR(&v) = text;
  return v;
}
// What a script passes for a variable: a reference to its VARIANT.
inline VARIANT VariableVariant(VARIANT* variable) {
  VARIANT v = Variant(VT_VARIANT | VT_BYREF);
  V_VARIANTREF(&v) = variable;
  return v;
}
inline VARIANT ShortRefVariant(SHORT* value) {
  VARIANT v = Variant(VT_I2 | VT_BYREF);
  V_I2REF(&v) = value;
  return v;
}

// The thread's error information as a client reads it: number, source, description.
struct ErrorInfoText {
  bool present = false;
  GUID guid{};
  std::wstring source;
  std::wstring description;
};

inline ErrorInfoText TakeErrorInfo() {
  ErrorInfoText text;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.GetAddressOf()) != S_OK || !info) return text;
  text.present = true;
  info->GetGUID(&text.guid);
  Bstr source;
  Bstr description;
  info->GetSource(source.out());
  info->GetDescription(description.out());
  text.source = source.str();
  text.description = description.str();
  return text;
}

}  // namespace vantel::automation::test
