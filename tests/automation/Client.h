// The C++ client: VantelUS.dll seen from outside, as any automation client
// sees it (through its exports, the platform and the header widl makes from
// the IDL), never through the server's own code.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "VantelUS_h.h"
#include "tests/automation/Check.h"
#include "tests/automation/ComSupport.h"

namespace vantel::automation::test {

// The library's exports, from LoadLibrary and GetProcAddress.
struct Library {
  HMODULE module = nullptr;
  std::wstring path;
  HRESULT(STDAPICALLTYPE* DllCanUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* DllGetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* DllRegisterServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* DllUnregisterServer)() = nullptr;
};

// Frees the strings of an EXCEPINFO and clears it.
void Free(EXCEPINFO& exception);

// A new object from the library's class object, without the registry.
ComPtr<_CompareUS> CreateFromLibrary(const Library& library);

// One comparison the client makes, early-bound or by name.
struct Comparison {
  std::wstring first;
  std::wstring second;
  SHORT method;
};

// Through the function table.
HRESULT CompareEarly(_CompareUS* object, const Comparison& c, double& answer);

// By name through IDispatch, the arguments passed by position; LaMethode as a
// script passes a variable (a by-reference VARIANT).
HRESULT CompareByPosition(IDispatch* object, const Comparison& c, double& answer);

// By name, every argument passed by its parameter name, LaMethode first.
HRESULT CompareByName(IDispatch* object, const Comparison& c, double& answer);

void ExportTests(Checks& checks, const Library& library);
void CallTests(Checks& checks, const Library& library);
void TypeLibraryTests(Checks& checks, const Library& library);
void ResourceTests(Checks& checks, const Library& library);
// Every answer of a file written by the vantel command (method, first string,
// second string, answer; tab-separated, UTF-8), early-bound and by name.
void AnswerFileTests(Checks& checks, const Library& library, const std::wstring& file);

enum class Registration {
  kRegistered,        // by regsvr32, for this process's bitness
  kUnregisteredHere,  // removed for this bitness, still registered for the other
  kUnregistered,      // removed for both
};
void RegistryTests(Checks& checks, const std::wstring& dll, Registration state);

// The installer's work in the installation folder `folder`, registered for
// the machine or (perUser) for the current user; and that none of it is left
// after uninstalling, the user's PATH back to `pathBefore` (nullopt: none).
void InstalledTests(Checks& checks, const std::wstring& folder, bool perUser);
void UninstalledTests(Checks& checks, const std::wstring& folder, const std::optional<std::wstring>& pathBefore);
// Makes the machine-wide classes read-only in both registry views.
bool LockMachineClasses(Checks& checks);

}  // namespace vantel::automation::test
