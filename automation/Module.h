// What the whole server shares: the count of live objects and of locks on the
// class object, which together decide whether the library may be unloaded,
// and the library's own file.
#pragma once

#include <windows.h>

#include <string>

namespace vantel::automation {

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;

// True when no object is alive and no lock is held.
bool CanUnloadNow() noexcept;

// The module whose code this is (the DLL, or a program that links the server in).
HMODULE ThisModule() noexcept;

// The full path of ThisModule(); empty if the system cannot tell.
std::wstring ModulePath();

}  // namespace vantel::automation
