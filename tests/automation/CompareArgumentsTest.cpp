// How a late-bound call's LaMethode is taken: which argument it is, and what
// it becomes.
#include <cstring>
#include <optional>
#include <vector>

#include "automation/CompareArguments.h"
#include "tests/automation/Check.h"
#include "tests/automation/ComSupport.h"
#include "vantel/Errors.h"

namespace vantel::automation::test {
namespace {

VARIANT DoubleVariant(double value) {
  VARIANT v = Variant(VT_R8);
  V_R8(&v) = value;
  return v;
}

VARIANT UnsignedVariant(USHORT value) {
  VARIANT v = Variant(VT_UI2);
  V_UI2(&v) = value;
  return v;
}

const char* Name(MethodNumber kind) {
  switch (kind) {
    case MethodNumber::kAsGiven: return "as given";
    case MethodNumber::kConverted: return "converted";
    case MethodNumber::kOverflow: return "overflow";
    case MethodNumber::kTypeMismatch: return "type mismatch";
  }
  return "?";
}

void MethodNumberConversions(Checks& checks) {
  Bstr digits(L"99");
  Bstr letters(L"abc");
  SHORT three = 3;
  LONG five = 5;
  VARIANT heldShort = ShortVariant(3);
  VARIANT heldLarge = LongVariant(40000);
  VARIANT heldLetters = StringVariant(letters.get());
  VARIANT heldEmpty = Variant(VT_EMPTY);
  VARIANT longRef = Variant(VT_I4 | VT_BYREF);
  V_I4REF(&longRef) = &five;
  VARIANT truth = Variant(VT_BOOL);
  V_BOOL(&truth) = VARIANT_TRUE;
  VARIANT missing = Variant(VT_ERROR);
  V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;

  struct Case {
    const char* what;
    VARIANT argument;
    MethodNumber expected;
    SHORT value;
  };
  const Case cases[] = {
      {"16-bit integer by reference", ShortRefVariant(&three), MethodNumber::kAsGiven, 0},
      {"16-bit integer", ShortVariant(7), MethodNumber::kConverted, 7},
      {"32-bit integer -32768", LongVariant(-32768), MethodNumber::kConverted, -32768},
      {"32-bit integer 32767", LongVariant(32767), MethodNumber::kConverted, 32767},
      {"32-bit integer 32768", LongVariant(32768), MethodNumber::kOverflow, 0},
      {"32-bit integer 40000", LongVariant(40000), MethodNumber::kOverflow, 0},
      {"32-bit integer -40000", LongVariant(-40000), MethodNumber::kOverflow, 0},
      {"unsigned 32767", UnsignedVariant(32767), MethodNumber::kConverted, 32767},
      {"unsigned 65535", UnsignedVariant(65535), MethodNumber::kOverflow, 0},
      {"double 2.5 (rounds to even)", DoubleVariant(2.5), MethodNumber::kConverted, 2},
      {"double 3.5 (rounds to even)", DoubleVariant(3.5), MethodNumber::kConverted, 4},
      {"double 32767.5 (rounds up to 32768)", DoubleVariant(32767.5), MethodNumber::kOverflow, 0},
      {"double -32768.5 (rounds to -32768)", DoubleVariant(-32768.5), MethodNumber::kConverted, -32768},
      {"double 1e10", DoubleVariant(1e10), MethodNumber::kOverflow, 0},
      {"Boolean true", truth, MethodNumber::kConverted, -1},
      {"string \"99\"", StringVariant(digits.get()), MethodNumber::kConverted, 99},
      {"string \"abc\"", StringVariant(letters.get()), MethodNumber::kTypeMismatch, 0},
      {"Empty", Variant(VT_EMPTY), MethodNumber::kConverted, 0},
      {"Null", Variant(VT_NULL), MethodNumber::kTypeMismatch, 0},
      {"missing argument", missing, MethodNumber::kTypeMismatch, 0},
      {"32-bit integer by reference", longRef, MethodNumber::kConverted, 5},
      {"variable holding 3", VariableVariant(&heldShort), MethodNumber::kConverted, 3},
      {"variable holding 40000", VariableVariant(&heldLarge), MethodNumber::kOverflow, 0},
      {"variable holding \"abc\"", VariableVariant(&heldLetters), MethodNumber::kTypeMismatch, 0},
      {"variable holding Empty", VariableVariant(&heldEmpty), MethodNumber::kConverted, 0},
  };
  for (const Case& c : cases) {
    SHORT value = 12345;
    const MethodNumber kind = ConvertMethodNumber(c.argument, value);
    const std::string what = std::string("LaMethode from ") + c.what;
    checks.Check(kind == c.expected, what + ": " + Name(c.expected), std::string("got ") + Name(kind));
    if (c.expected == MethodNumber::kConverted) checks.Check(value == c.value, what + ": value", std::to_string(value));
  }
  checks.Check(V_VT(&heldShort) == VT_I2 && V_I2(&heldShort) == 3, "the caller's variable is left as it was");
}

void ArgumentPositions(Checks& checks) {
  VARIANTARG args[3] = {};
  struct Case {
    const char* what;
    UINT count;
    std::vector<DISPID> named;
    UINT position;
    std::optional<UINT> expected;
  };
  const Case cases[] = {
      {"3 positional: Lachaine1", 3, {}, 0, 2},
      {"3 positional: Lachaine2", 3, {}, 1, 1},
      {"3 positional: LaMethode", 3, {}, 2, 0},
      {"2 positional: no LaMethode", 2, {}, 2, std::nullopt},
      {"LaMethode named after two positional", 3, {2}, 2, 0},
      {"Lachaine1 positional before named LaMethode", 3, {2}, 0, 2},
      {"Lachaine2 positional before named LaMethode", 3, {2}, 1, 1},
      {"all named, LaMethode second", 3, {1, 2, 0}, 2, 1},
      {"all named, Lachaine1 third", 3, {1, 2, 0}, 0, 2},
      {"named without LaMethode, too few positional", 3, {1, 0, 5}, 2, std::nullopt},
      {"more named than arguments", 1, {2, 2}, 2, std::nullopt},
  };
  for (const Case& c : cases) {
    DISPPARAMS params{args, const_cast<DISPID*>(c.named.data()), c.count, static_cast<UINT>(c.named.size())};
    const std::optional<UINT> index = ArgumentIndex(params, c.position);
    checks.Check(index == c.expected, std::string("argument index, ") + c.what,
                 index ? "got " + std::to_string(*index) : std::string("got none"));
  }
}

bool SameBits(const VARIANTARG& a, const VARIANTARG& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CallArguments(Checks& checks) {
  Bstr cat(L"cat");
  Bstr kat(L"kat");
  const VARIANT first = StringVariant(cat.get());
  const VARIANT second = StringVariant(kat.get());
  {
    // o.Compare(a, b, m) from a script: LaMethode is a reference to the variable.
    VARIANT variable = ShortVariant(99);
    VARIANTARG args[3] = {VariableVariant(&variable), second, first};
    const VARIANTARG original = args[0];
    DISPPARAMS params{args, nullptr, 3, 0};
    CompareArguments call(params);
    const DISPPARAMS* passed = call.params();
    checks.Check(call.error() == 0 && passed->rgvarg != args && passed->cArgs == 3 && passed->cNamedArgs == 0,
                 "script variable: passed on as a copy of the arguments");
    checks.Check(V_VT(&passed->rgvarg[0]) == (VT_I2 | VT_BYREF) && *V_I2REF(&passed->rgvarg[0]) == 99 &&
                     V_I2REF(&passed->rgvarg[0]) != &V_I2(&variable),
                 "script variable: LaMethode becomes a reference to a 16-bit integer of its own");
    checks.Check(SameBits(passed->rgvarg[1], second) && SameBits(passed->rgvarg[2], first),
                 "script variable: the strings are passed on untouched");
    checks.Check(SameBits(args[0], original) && V_I2(&variable) == 99,
                 "script variable: the caller's arguments stay as they were");
  }
  {
    SHORT method = 2;
    VARIANTARG args[3] = {ShortRefVariant(&method), second, first};
    DISPPARAMS params{args, nullptr, 3, 0};
    CompareArguments call(params);
    checks.Check(call.error() == 0 && call.params()->rgvarg == args, "16-bit integer by reference: passed on as it is");
  }
  {
    DISPID named[] = {2, 0, 1};
    VARIANTARG args[3] = {LongVariant(3), first, second};
    DISPPARAMS params{args, named, 3, 3};
    CompareArguments call(params);
    const DISPPARAMS* passed = call.params();
    checks.Check(call.error() == 0 && V_VT(&passed->rgvarg[0]) == (VT_I2 | VT_BYREF) &&
                     *V_I2REF(&passed->rgvarg[0]) == 3 && passed->rgdispidNamedArgs == named && passed->cNamedArgs == 3,
                 "named LaMethode: converted in its own slot, the names kept");
  }
  struct Failing {
    const char* what;
    VARIANTARG method;
    std::int32_t error;
  };
  Bstr many(L"many");
  for (const Failing& c : {Failing{"40000", LongVariant(40000), error::kOverflow},
                           Failing{"\"many\"", StringVariant(many.get()), error::kTypeMismatch}}) {
    VARIANTARG args[3] = {c.method, second, first};
    DISPPARAMS params{args, nullptr, 3, 0};
    checks.Check(CompareArguments(params).error() == c.error,
                 std::string("LaMethode ") + c.what + ": run-time error " + std::to_string(c.error));
  }
  {
    VARIANTARG args[2] = {second, first};
    DISPPARAMS params{args, nullptr, 2, 0};
    CompareArguments call(params);
    checks.Check(call.error() == 0 && call.params()->rgvarg == args,
                 "LaMethode left out: passed on for the type information to refuse");
  }
}

}  // namespace

void CompareArgumentsTests(Checks& checks) {
  MethodNumberConversions(checks);
  ArgumentPositions(checks);
  CallArguments(checks);
}

}  // namespace vantel::automation::test
