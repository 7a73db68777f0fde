#include "CompareArguments.h"

#include <climits>

#include "vantel/Errors.h"

namespace vantel::automation {

MethodNumber ConvertMethodNumber(const VARIANTARG& argument, SHORT& value) noexcept {
  if (V_VT(&argument) == (VT_I2 | VT_BYREF)) return MethodNumber::kAsGiven;
  VARIANT converted;
  VariantInit(&converted);
  // VariantChangeType reads through one level of VT_BYREF, VT_VARIANT included,
  // and applies the conversions that the type information applies to the
  // other arguments. It goes to a 32-bit integer first and the range is checked
  // here, because Wine turns an unsigned 16-bit 65535 into -1 instead of
  // reporting an overflow; the rounding of fractions is the same either way.
  const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANTARG*>(&argument), 0, VT_I4);
  if (hr == DISP_E_OVERFLOW) return MethodNumber::kOverflow;
  if (FAILED(hr)) return MethodNumber::kTypeMismatch;
  const LONG number = V_I4(&converted);
  if (number < SHRT_MIN || number > SHRT_MAX) return MethodNumber::kOverflow;
  value = static_cast<SHORT>(number);
  return MethodNumber::kConverted;
}

std::optional<UINT> ArgumentIndex(const DISPPARAMS& params, UINT position) noexcept {
  if (params.cNamedArgs > params.cArgs) return std::nullopt;
  for (UINT i = 0; i < params.cNamedArgs && params.rgdispidNamedArgs != nullptr; ++i) {
    if (params.rgdispidNamedArgs[i] == static_cast<DISPID>(position)) return i;
  }
  // Positional arguments follow the named ones, the last parameter first.
  const UINT positional = params.cArgs - params.cNamedArgs;
  if (position < positional) return params.cArgs - 1 - position;
  return std::nullopt;
}

CompareArguments::CompareArguments(const DISPPARAMS& params) : params_(params) {
  // Malformed or missing arguments are the type information's to report.
  if (params.rgvarg == nullptr) return;
  const std::optional<UINT> index = ArgumentIndex(params, kLaMethodePosition);
  if (!index) return;
  switch (ConvertMethodNumber(params.rgvarg[*index], methodNumber_)) {
    case MethodNumber::kAsGiven: return;
    case MethodNumber::kConverted: {
      arguments_.assign(params.rgvarg, params.rgvarg + params.cArgs);
      VARIANTARG& argument = arguments_[*index];
      VariantInit(&argument);
      V_VT(&argument) = VT_I2 | VT_BYREF;
      V_I2REF(&argument) = &methodNumber_;
      params_.rgvarg = arguments_.data();
      return;
    }
    case MethodNumber::kOverflow: error_ = error::kOverflow; return;
    case MethodNumber::kTypeMismatch: error_ = error::kTypeMismatch; return;
  }
}

}  // namespace vantel::automation
