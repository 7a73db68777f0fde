// What DllRegisterServer records and DllUnregisterServer removes: the type
// library (with the interface, marshalled by the type-library marshaller),
// the class (in-process server, apartment threading, type library, version)
// and the programmatic identifier VantelUS.CompareUS.
//
// Registration is machine-wide when the process may write there; otherwise
// (no administrator rights) it goes to the current user's classes, so that a
// user can register the library for themselves with a plain regsvr32.
#pragma once

#include <windows.h>

#include <string>

namespace vantel::automation {

inline constexpr wchar_t kProgId[] = L"VantelUS.CompareUS";

enum class RegistryScope {
  kMachine,  // HKEY_LOCAL_MACHINE\Software\Classes, RegisterTypeLib
  kUser,     // HKEY_CURRENT_USER\Software\Classes, RegisterTypeLibForUser
};

// kMachine if this process may write the machine-wide classes, else kUser.
RegistryScope WritableScope() noexcept;

// Records everything in `scope` for the server at `modulePath`. On failure,
// what was already written to `scope` is removed again.
HRESULT RegisterServer(const std::wstring& modulePath, RegistryScope scope) noexcept;

// Removes from `scope` whatever RegisterServer records there; S_OK when there
// was nothing. The programmatic identifier is shared by the 32-bit and the
// 64-bit registry views, so it stays while the class is still registered in
// the other view.
HRESULT UnregisterServer(RegistryScope scope) noexcept;

// DllRegisterServer: this module, in WritableScope().
HRESULT RegisterThisServer() noexcept;

// DllUnregisterServer: removes the registrations of both scopes, whichever exist.
HRESULT UnregisterThisServer() noexcept;

}  // namespace vantel::automation
