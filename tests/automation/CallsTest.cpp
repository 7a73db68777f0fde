// Compare and InitVT called early-bound through the function table and
// late-bound by name, with the same answers both ways; LaMethode handed back
// unchanged; errors and what follows them.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/automation/ClassInfoChecks.h"
#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

struct Case {
  std::wstring first;
  std::wstring second;
  SHORT method;
  double expected;
};

std::vector<Case> Cases() {
  const std::wstring seventy(70, L'x');
  const std::wstring seventyOne(71, L'x');
  const std::wstring lodz = L"\u0142\u00f3d\u017a";
  return {
      // Both sound "kat"; the spelling shares "at".
      {L"cat", L"kat", 0, 100},
      {L"cat", L"kat", 1, 66.66},
      {L"cat", L"kat", 2, 83.33},
      {L"cat", L"kat", 3, 100},
      {L"cat", L"kat", 99, 66.66},
      {L"cat", L"kat", 7, 100},
      {L"cat", L"kat", -5, 100},
      // The capital C has no rule: forms "Cat" and "kat"; the spelling ignores case.
      {L"Cat", L"cat", 0, 100},
      {L"Cat", L"cat", 1, 66.66},
      {L"Cat", L"cat", 2, 83.33},
      {L"Cat", L"cat", 3, 66.66},
      {L"Cat", L"cat", 99, 100},
      // Cut, not rounded, from products just below 6880 and 8160.
      {std::wstring(43, L'a') + std::wstring(17, L'b'), std::wstring(43, L'a') + std::wstring(22, L'c'), 99, 68.79},
      {std::wstring(51, L'a') + std::wstring(9, L'b'), std::wstring(51, L'a') + std::wstring(14, L'c'), 99, 81.59},
      // Refused lengths.
      {L"", L"cat", 2, -1},
      {L"cat", L"", 99, -1},
      {seventyOne, L"x", 0, -1},
      {L"x", seventyOne, 3, -1},
      {seventy, seventy, 2, 100},
      // UTF-16 code units beyond any single-byte code page compare like any others.
      {lodz, L"lodz", 0, 25},
      {lodz, L"lodz", 1, 22.22},
      {lodz, L"lodz", 2, 23.61},
      {lodz, L"lodz", 3, 22.22},
      {lodz, L"lodz", 99, 25},
      {L"\u4e2d\u6587", L"\u4e2d", 0, 66.66},
      {L"\u4e2d\u6587", L"\u4e2d", 99, 66.66},
  };
}

std::string Describe(const Case& c) {
  auto shown = [](const std::wstring& s) {
    return s.size() > 12 ? Utf8(s.substr(0, 4)) + "..(" + std::to_string(s.size()) + ")" : Utf8(s);
  };
  return "Compare(\"" + shown(c.first) + "\", \"" + shown(c.second) + "\", " + std::to_string(c.method) + ")";
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// Invokes Compare with `args` (the last argument first, as IDispatch has them).
HRESULT InvokeCompare(IDispatch* object, std::vector<VARIANTARG> args, std::vector<DISPID> named, double& answer,
                      EXCEPINFO* exception = nullptr) {
  DISPPARAMS params{args.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                    static_cast<UINT>(named.size())};
  VARIANT result = Variant(VT_EMPTY);
  EXCEPINFO ignored{};
  const HRESULT hr =
      object->Invoke(IdOf(object, L"Compare"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                     &params, &result, exception != nullptr ? exception : &ignored, nullptr);
  Free(ignored);
  if (FAILED(hr)) return hr;
  if (V_VT(&result) != VT_R8) return E_UNEXPECTED;
  answer = V_R8(&result);
  return hr;
}

void AnswersEarlyAndLateBound(Checks& checks, _CompareUS* object) {
  for (const Case& c : Cases()) {
    const std::string name = Describe(c);
    const Comparison comparison{c.first, c.second, c.method};
    double early = -99;
    double byPosition = -99;
    double byName = -99;
    checks.Result(CompareEarly(object, comparison, early), S_OK, name + " early-bound succeeds");
    checks.Number(early, c.expected, name + " early-bound");
    checks.Result(CompareByPosition(object, comparison, byPosition), S_OK, name + " by name, positional, succeeds");
    checks.Number(byPosition, c.expected, name + " by name, positional");
    checks.Result(CompareByName(object, comparison, byName), S_OK, name + " by name, named arguments, succeeds");
    checks.Number(byName, c.expected, name + " by name, named arguments");
  }
  double answer = -99;
  SHORT method = 99;
  checks.Result(object->Compare(nullptr, Bstr(L"cat").get(), &method, &answer), S_OK, "a null string is accepted");
  checks.Number(answer, -1, "a null string is the empty string: -1");
  checks.Result(object->Compare(Bstr(L"cat").get(), Bstr(L"cat").get(), nullptr, &answer), E_POINTER,
                "a null LaMethode pointer is refused");
}

void LaMethodeIsHandedBack(Checks& checks, _CompareUS* object) {
  Bstr cat(L"cat");
  Bstr kat(L"kat");
  SHORT method = 2;
  double answer = 0;
  object->Compare(cat.get(), kat.get(), &method, &answer);
  checks.Check(method == 2, "early-bound: LaMethode unchanged");

  VARIANT variable = ShortVariant(3);
  checks.Result(InvokeCompare(object, {VariableVariant(&variable), StringVariant(kat.get()), StringVariant(cat.get())},
                              {}, answer),
                S_OK, "by name with a script variable as LaMethode");
  checks.Check(V_VT(&variable) == VT_I2 && V_I2(&variable) == 3, "by name: the variable is unchanged");
  SHORT held = 99;
  checks.Result(
      InvokeCompare(object, {ShortRefVariant(&held), StringVariant(kat.get()), StringVariant(cat.get())}, {}, answer),
      S_OK, "by name with a 16-bit integer by reference");
  checks.Check(held == 99, "by name: the 16-bit integer passed by reference is unchanged");
  VARIANT string = StringVariant(cat.get());
  checks.Result(InvokeCompare(object, {LongVariant(3), VariableVariant(&string), StringVariant(cat.get())}, {}, answer),
                S_OK, "by name with a script variable as Lachaine2");
  checks.Number(answer, 100, "by name with a script variable as Lachaine2: answer");
}

void ErrorsLeaveTheObjectUsable(Checks& checks, IDispatch* object) {
  Bstr cat(L"cat");
  Bstr kat(L"kat");
  Bstr many(L"many");
  VARIANT tooLarge = LongVariant(40000);
  struct Failing {
    const char* what;
    VARIANT method;
    HRESULT scode;
    const wchar_t* description;
  };
  const Failing cases[] = {
      {"40000", LongVariant(40000), static_cast<HRESULT>(0x800A0006), L"Overflow"},
      {"a variable holding 40000", VariableVariant(&tooLarge), static_cast<HRESULT>(0x800A0006), L"Overflow"},
      {"\"many\"", StringVariant(many.get()), static_cast<HRESULT>(0x800A000D), L"Type mismatch"},
  };
  for (const Failing& c : cases) {
    double answer = -99;
    EXCEPINFO exception{};
    const std::string what = std::string("LaMethode ") + c.what;
    checks.Result(
        InvokeCompare(object, {c.method, StringVariant(kat.get()), StringVariant(cat.get())}, {}, answer, &exception),
        DISP_E_EXCEPTION, what + ": DISP_E_EXCEPTION");
    checks.Result(exception.scode, c.scode, what + ": error number in EXCEPINFO");
    checks.Text(exception.bstrDescription ? exception.bstrDescription : L"", c.description, what + ": description");
    checks.Text(exception.bstrSource ? exception.bstrSource : L"", L"VantelUS.CompareUS", what + ": source");
    Free(exception);
    double after = -99;
    checks.Result(CompareByPosition(object, {L"cat", L"kat", 2}, after), S_OK, what + ": the next call succeeds");
    checks.Number(after, 83.33, what + ": the next call answers");
  }
  double answer = -99;
  checks.Check(FAILED(InvokeCompare(object, {StringVariant(kat.get()), StringVariant(cat.get())}, {}, answer)),
               "Compare without LaMethode fails");
}

void InitVTReturnsEmpty(Checks& checks, _CompareUS* object) {
  const DISPID initVT = IdOf(object, L"InitVT");
  for (const std::string call : {"1", "2"}) {
    VARIANT early = LongVariant(7);
    checks.Result(object->InitVT(&early), S_OK, "InitVT early-bound, call " + call);
    checks.Check(V_VT(&early) == VT_EMPTY, "InitVT early-bound returns Empty, call " + call);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT late = LongVariant(7);
    checks.Result(object->Invoke(initVT, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                 &late, nullptr, nullptr),
                  S_OK, "InitVT by name, call " + call);
    checks.Check(V_VT(&late) == VT_EMPTY, "InitVT by name returns Empty, call " + call);
  }
  double answer = -99;
  CompareEarly(object, {L"Cat", L"cat", 2}, answer);
  checks.Number(answer, 83.33, "InitVT changes no answer");
}

void DispatchBookkeeping(Checks& checks, _CompareUS* object) {
  UINT count = 0;
  checks.Check(object->GetTypeInfoCount(&count) == S_OK && count == 1, "one type information");
  ComPtr<ITypeInfo> info;
  TYPEATTR* attributes = nullptr;
  if (checks.Result(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.GetAddressOf()), S_OK, "GetTypeInfo(0)") &&
      SUCCEEDED(info->GetTypeAttr(&attributes))) {
    checks.Check(attributes->guid == IID__CompareUS, "GetTypeInfo(0) describes _CompareUS");
    info->ReleaseTypeAttr(attributes);
  }
  ComPtr<ITypeInfo> none;
  checks.Result(object->GetTypeInfo(1, LOCALE_USER_DEFAULT, none.GetAddressOf()), DISP_E_BADINDEX, "GetTypeInfo(1)");
  checks.Check(none == nullptr, "GetTypeInfo(1) hands out nothing");

  LPOLESTR exact[] = {const_cast<LPOLESTR>(L"Compare"), const_cast<LPOLESTR>(L"Lachaine1"),
                      const_cast<LPOLESTR>(L"LaMethode")};
  LPOLESTR other[] = {const_cast<LPOLESTR>(L"COMPARE"), const_cast<LPOLESTR>(L"lachaine1"),
                      const_cast<LPOLESTR>(L"LAMETHODE")};
  DISPID exactIds[3] = {};
  DISPID otherIds[3] = {};
  checks.Result(object->GetIDsOfNames(IID_NULL, exact, 3, LOCALE_USER_DEFAULT, exactIds), S_OK,
                "names of Compare and its parameters");
  checks.Result(object->GetIDsOfNames(IID_NULL, other, 3, LOCALE_USER_DEFAULT, otherIds), S_OK,
                "names in another case");
  checks.Check(std::equal(exactIds, exactIds + 3, otherIds), "names are matched ignoring case");
  checks.Check(exactIds[1] != exactIds[2], "the parameters have identifiers of their own");
  checks.Check(IdOf(object, L"Contrast") == DISPID_UNKNOWN, "an unknown name has no identifier");
  DISPPARAMS no{nullptr, nullptr, 0, 0};
  checks.Result(
      object->Invoke(exactIds[0], IID_IUnknown, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no, nullptr, nullptr, nullptr),
      DISP_E_UNKNOWNINTERFACE, "Invoke with an interface identifier other than IID_NULL");
}

void ObjectsAreIndependent(Checks& checks, const Library& library) {
  ComPtr<_CompareUS> first = CreateFromLibrary(library);
  ComPtr<_CompareUS> second = CreateFromLibrary(library);
  if (!checks.Check(first && second, "two objects created")) return;
  checks.Check(first.Get() != second.Get(), "each request makes a new object");
  double a = -99;
  double b = -99;
  VARIANT empty = Variant(VT_EMPTY);
  first->InitVT(&empty);
  CompareEarly(second.Get(), {L"cat", L"kat", 3}, b);
  CompareEarly(first.Get(), {L"Cat", L"cat", 3}, a);
  checks.Number(a, 66.66, "first object answers after its own InitVT");
  checks.Number(b, 100, "second object answers without it");
  first.Reset();
  CompareEarly(second.Get(), {L"cat", L"kat", 2}, b);
  checks.Number(b, 83.33, "second object answers after the first is gone");
}

}  // namespace

void Free(EXCEPINFO& exception) {
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
}

ComPtr<_CompareUS> CreateFromLibrary(const Library& library) {
  ComPtr<IClassFactory> factory;
  ComPtr<_CompareUS> object;
  if (SUCCEEDED(library.DllGetClassObject(CLSID_CompareUS, IID_IClassFactory,
                                          reinterpret_cast<void**>(factory.GetAddressOf())))) {
    factory->CreateInstance(nullptr, IID__CompareUS, reinterpret_cast<void**>(object.GetAddressOf()));
  }
  return object;
}

HRESULT CompareEarly(_CompareUS* object, const Comparison& c, double& answer) {
  Bstr first(c.first);
  Bstr second(c.second);
  SHORT method = c.method;
  return object->Compare(first.get(), second.get(), &method, &answer);
}

HRESULT CompareByPosition(IDispatch* object, const Comparison& c, double& answer) {
  Bstr first(c.first);
  Bstr second(c.second);
  VARIANT variable = ShortVariant(c.method);
  return InvokeCompare(object, {VariableVariant(&variable), StringVariant(second.get()), StringVariant(first.get())},
                       {}, answer);
}

HRESULT CompareByName(IDispatch* object, const Comparison& c, double& answer) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Compare"), const_cast<LPOLESTR>(L"LaMethode"),
                      const_cast<LPOLESTR>(L"Lachaine1"), const_cast<LPOLESTR>(L"Lachaine2")};
  DISPID ids[4] = {};
  const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 4, LOCALE_USER_DEFAULT, ids);
  if (FAILED(hr)) return hr;
  Bstr first(c.first);
  Bstr second(c.second);
  return InvokeCompare(object, {ShortVariant(c.method), StringVariant(first.get()), StringVariant(second.get())},
                       {ids[1], ids[2], ids[3]}, answer);
}

void CallTests(Checks& checks, const Library& library) {
  ComPtr<_CompareUS> object = CreateFromLibrary(library);
  if (!checks.Check(object != nullptr, "an object for the calls")) return;
  AnswersEarlyAndLateBound(checks, object.Get());
  LaMethodeIsHandedBack(checks, object.Get());
  ErrorsLeaveTheObjectUsable(checks, object.Get());
  InitVTReturnsEmpty(checks, object.Get());
  DispatchBookkeeping(checks, object.Get());
  ClassInfoChecks(checks, object.Get(), "client");
  ObjectsAreIndependent(checks, library);
}

}  // namespace vantel::automation::test
