// The embedded type library read back with the platform's type-library
// interfaces: the library, the dual interface with its two methods and their
// parameters in order, and the creatable class.
#include <vector>

#include "tests/automation/Client.h"

namespace vantel::automation::test {
namespace {

// {00020430-0000-0000-C000-000000000046}: OLE Automation (stdole2.tlb).
constexpr GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL) {
  Bstr name;
  info->GetDocumentation(member, name.out(), nullptr, nullptr, nullptr);
  return name.str();
}

void LibraryAttributes(Checks& checks, ITypeLib* library) {
  TLIBATTR* attributes = nullptr;
  if (!checks.Result(library->GetLibAttr(&attributes), S_OK, "library attributes")) return;
  checks.Check(attributes->guid == LIBID_VantelUS, "library identifier");
  checks.Check(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0, "library version 1.0");
  checks.Check(attributes->lcid == 0, "library locale 0");
  checks.Check(attributes->syskind == (sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32),
               "library system kind of this build");
  // The platform adds "has disk image" to a library read from a file.
  checks.Check((attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE) == 0, "no library flags",
               std::to_string(attributes->wLibFlags));
  library->ReleaseTLibAttr(attributes);

  Bstr name;
  Bstr doc;
  Bstr helpFile;
  DWORD helpContext = 1;
  library->GetDocumentation(-1, name.out(), doc.out(), &helpContext, helpFile.out());
  checks.Text(name.str(), L"VantelUS", "library name");
  checks.Check(doc.null() || doc.str().empty(), "no library help string");
  checks.Check(helpFile.null() || helpFile.str().empty(), "no library help file");
  checks.Check(helpContext == 0, "no library help context");
  checks.Check(library->GetTypeInfoCount() == 2, "two type descriptions", std::to_string(library->GetTypeInfoCount()));
}

struct Parameter {
  const wchar_t* name;  // null: the hidden return value
  VARTYPE type;
  VARTYPE pointee;  // for VT_PTR
  USHORT flags;
};

struct Method {
  const wchar_t* name;
  int slot;  // in the function table, after IUnknown's three and IDispatch's four
  std::vector<Parameter> parameters;
};

void Function(Checks& checks, ITypeInfo* info, UINT index, const Method& expected) {
  FUNCDESC* function = nullptr;
  const std::string what = "method " + std::to_string(index) + " (" + Utf8(expected.name) + ")";
  if (!checks.Result(info->GetFuncDesc(index, &function), S_OK, what + " described")) return;
  checks.Text(NameOf(info, function->memid), expected.name, what + " name");
  checks.Check(
      function->funckind == FUNC_PUREVIRTUAL && function->invkind == INVOKE_FUNC && function->callconv == CC_STDCALL,
      what + " is a pure virtual standard-call method");
  checks.Check(function->oVft == expected.slot * static_cast<int>(sizeof(void*)), what + " function table slot",
               std::to_string(function->oVft));
  checks.Check(function->elemdescFunc.tdesc.vt == VT_HRESULT, what + " returns HRESULT");
  checks.Check(function->cParams == static_cast<SHORT>(expected.parameters.size()), what + " parameter count");
  checks.Check(function->cParamsOpt == 0 && function->wFuncFlags == 0, what + " has no optional parameters or flags");
  std::vector<BSTR> names(expected.parameters.size() + 1);
  UINT nameCount = 0;
  info->GetNames(function->memid, names.data(), static_cast<UINT>(names.size()), &nameCount);
  for (std::size_t i = 0; i < expected.parameters.size() && i < static_cast<std::size_t>(function->cParams); ++i) {
    const Parameter& p = expected.parameters[i];
    const ELEMDESC& e = function->lprgelemdescParam[i];
    const std::string param = what + " parameter " + std::to_string(i + 1);
    const bool pointer = e.tdesc.vt == VT_PTR && e.tdesc.lptdesc != nullptr;
    const bool typed = p.type == VT_PTR ? pointer && e.tdesc.lptdesc->vt == p.pointee : e.tdesc.vt == p.type;
    checks.Check(typed, param + " type");
    checks.Check(e.paramdesc.wParamFlags == p.flags, param + " direction", std::to_string(e.paramdesc.wParamFlags));
    if (p.name != nullptr) checks.Text(i + 1 < nameCount ? names[i + 1] : L"", p.name, param + " name");
  }
  for (BSTR name : names) SysFreeString(name);
  info->ReleaseFuncDesc(function);
}

void Interface(Checks& checks, ITypeLib* library) {
  ComPtr<ITypeInfo> dispatch;
  if (!checks.Result(library->GetTypeInfo(0, dispatch.GetAddressOf()), S_OK, "first type description")) return;
  checks.Text(NameOf(dispatch.Get()), L"_CompareUS", "first type description is _CompareUS");
  TYPEATTR* attributes = nullptr;
  dispatch->GetTypeAttr(&attributes);
  checks.Check(attributes->guid == IID__CompareUS, "_CompareUS interface identifier");
  checks.Check(attributes->typekind == TKIND_DISPATCH, "_CompareUS is described for dispatch");
  const WORD flags =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
  // The platform leaves "oleautomation" out when it describes an interface for
  // dispatch; the function-table side below shows it.
  checks.Check((attributes->wTypeFlags | TYPEFLAG_FOLEAUTOMATION) == flags,
               "_CompareUS for dispatch: hidden, dual, nonextensible, dispatchable",
               std::to_string(attributes->wTypeFlags));
  checks.Check(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0, "_CompareUS version 1.0");
  checks.Check(attributes->cVars == 0, "_CompareUS has no properties or variables");
  dispatch->ReleaseTypeAttr(attributes);

  // The function-table side of the dual interface.
  HREFTYPE vtableRef = 0;
  ComPtr<ITypeInfo> vtable;
  if (!checks.Result(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK,
                     "_CompareUS has a function table"))
    return;
  dispatch->GetRefTypeInfo(vtableRef, vtable.GetAddressOf());
  if (!checks.Check(vtable != nullptr, "function-table description")) return;
  vtable->GetTypeAttr(&attributes);
  checks.Check(attributes->typekind == TKIND_INTERFACE && attributes->cFuncs == 2, "function table holds two methods",
               std::to_string(attributes->cFuncs));
  checks.Check(attributes->wTypeFlags == flags,
               "_CompareUS flags: hidden, dual, nonextensible, oleautomation, dispatchable",
               std::to_string(attributes->wTypeFlags));
  checks.Check(attributes->cImplTypes == 1, "_CompareUS derives from one interface");
  vtable->ReleaseTypeAttr(attributes);

  HREFTYPE baseRef = 0;
  ComPtr<ITypeInfo> base;
  vtable->GetRefTypeOfImplType(0, &baseRef);
  vtable->GetRefTypeInfo(baseRef, base.GetAddressOf());
  if (checks.Check(base != nullptr, "base interface described")) {
    checks.Text(NameOf(base.Get()), L"IDispatch", "_CompareUS derives from IDispatch");
    ComPtr<ITypeLib> stdole;
    UINT index = 0;
    base->GetContainingTypeLib(stdole.GetAddressOf(), &index);
    TLIBATTR* stdoleAttributes = nullptr;
    if (stdole && SUCCEEDED(stdole->GetLibAttr(&stdoleAttributes))) {
      checks.Check(stdoleAttributes->guid == kStdOle && stdoleAttributes->wMajorVerNum == 2 &&
                       stdoleAttributes->wMinorVerNum == 0,
                   "IDispatch comes from the imported OLE Automation library 2.0");
      stdole->ReleaseTLibAttr(stdoleAttributes);
    } else {
      checks.Check(false, "IDispatch comes from the imported OLE Automation library 2.0", "no containing library");
    }
  }

  const USHORT in = PARAMFLAG_FIN;
  const USHORT inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
  const USHORT result = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  Function(checks, vtable.Get(), 0,
           {L"Compare",
            7,
            {{L"Lachaine1", VT_BSTR, VT_EMPTY, in},
             {L"Lachaine2", VT_BSTR, VT_EMPTY, in},
             {L"LaMethode", VT_PTR, VT_I2, inOut},
             {nullptr, VT_PTR, VT_R8, result}}});
  Function(checks, vtable.Get(), 1, {L"InitVT", 8, {{nullptr, VT_PTR, VT_VARIANT, result}}});

  MEMBERID compare = MEMBERID_NIL;
  MEMBERID initVT = MEMBERID_NIL;
  LPOLESTR compareName = const_cast<LPOLESTR>(L"Compare");
  LPOLESTR initVTName = const_cast<LPOLESTR>(L"InitVT");
  dispatch->GetIDsOfNames(&compareName, 1, &compare);
  dispatch->GetIDsOfNames(&initVTName, 1, &initVT);
  checks.Check(compare != MEMBERID_NIL && initVT != MEMBERID_NIL && compare != initVT,
               "Compare and InitVT have dispatch identifiers of their own");
}

void Class(Checks& checks, ITypeLib* library) {
  ComPtr<ITypeInfo> coclass;
  if (!checks.Result(library->GetTypeInfo(1, coclass.GetAddressOf()), S_OK, "second type description")) return;
  checks.Text(NameOf(coclass.Get()), L"CompareUS", "second type description is CompareUS");
  TYPEATTR* attributes = nullptr;
  coclass->GetTypeAttr(&attributes);
  checks.Check(attributes->typekind == TKIND_COCLASS, "CompareUS is a class");
  checks.Check(attributes->guid == CLSID_CompareUS, "CompareUS class identifier");
  checks.Check(attributes->wTypeFlags == TYPEFLAG_FCANCREATE, "CompareUS is creatable, nothing else",
               std::to_string(attributes->wTypeFlags));
  checks.Check(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0, "CompareUS version 1.0");
  checks.Check(attributes->cImplTypes == 1, "CompareUS implements one interface, no event interface");
  coclass->ReleaseTypeAttr(attributes);
  INT implFlags = 0;
  coclass->GetImplTypeFlags(0, &implFlags);
  checks.Check(implFlags == IMPLTYPEFLAG_FDEFAULT, "it is the default interface", std::to_string(implFlags));
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> implemented;
  coclass->GetRefTypeOfImplType(0, &ref);
  coclass->GetRefTypeInfo(ref, implemented.GetAddressOf());
  checks.Check(implemented && NameOf(implemented.Get()) == L"_CompareUS", "the default interface is _CompareUS");
}

}  // namespace

void TypeLibraryTests(Checks& checks, const Library& library) {
  ComPtr<ITypeLib> typeLibrary;
  if (!checks.Result(LoadTypeLibEx(library.path.c_str(), REGKIND_NONE, typeLibrary.GetAddressOf()), S_OK,
                     "the type library loads from the DLL")) {
    return;
  }
  LibraryAttributes(checks, typeLibrary.Get());
  Interface(checks, typeLibrary.Get());
  Class(checks, typeLibrary.Get());
}

}  // namespace vantel::automation::test
