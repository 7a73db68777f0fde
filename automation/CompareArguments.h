// The arguments of a late-bound call of Compare, made fit for the type
// information's Invoke.
//
// Script clients pass their variables as by-reference VARIANTs. The platform's
// ITypeInfo::Invoke accepts one for a by-value string but refuses it, with a
// type mismatch, for the by-reference 16-bit LaMethode, so `o.Compare(a, b, m)`
// would fail in VBScript. LaMethode is therefore converted here: a 16-bit
// integer by reference is passed on as it is; anything else that converts to a
// 16-bit integer (a by-reference VARIANT holding one, a literal of another
// numeric type, a numeric string) is converted into a 16-bit integer of our
// own, passed by reference in its place. Compare only reads LaMethode, so the
// caller's variable is never written either way. The other arguments, and
// calls of other members, are left to the type information.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantel::automation {

// The position of LaMethode among the parameters of Compare; also its
// dispatch identifier when passed by name, as the type information assigns
// parameter names the identifiers 0, 1, 2 in order.
inline constexpr UINT kLaMethodePosition = 2;

enum class MethodNumber {
  kAsGiven,       // a 16-bit integer by reference: the type information takes it
  kConverted,     // converted into the value handed back
  kOverflow,      // a number outside -32768 to 32767
  kTypeMismatch,  // not a number at all
};

// How `argument` becomes the 16-bit method number; `value` is set for kConverted.
MethodNumber ConvertMethodNumber(const VARIANTARG& argument, SHORT& value) noexcept;

// The index in params.rgvarg of the argument for the parameter at `position`,
// passed by name or by position; nullopt if the caller left it out.
std::optional<UINT> ArgumentIndex(const DISPPARAMS& params, UINT position) noexcept;

// A call's arguments with LaMethode converted. It refers to the caller's
// arguments and to its own converted value, so it stays where it was made.
class CompareArguments {
 public:
  explicit CompareArguments(const DISPPARAMS& params);
  CompareArguments(const CompareArguments&) = delete;
  CompareArguments& operator=(const CompareArguments&) = delete;

  // 0, or the run-time error that converting LaMethode raises: 6 (overflow) or 13 (type mismatch).
  std::int32_t error() const noexcept { return error_; }

  // What to pass to ITypeInfo::Invoke.
  DISPPARAMS* params() noexcept { return &params_; }

 private:
  DISPPARAMS params_;
  // Shallow copies of the caller's VARIANTs: nothing here owns or frees them.
  std::vector<VARIANTARG> arguments_;
  SHORT methodNumber_ = 0;
  std::int32_t error_ = 0;
};

}  // namespace vantel::automation
