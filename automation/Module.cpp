#include "Module.h"

// Provided by the linker: the image this code was linked into. Unlike a handle
// kept from DllMain, it is right in any module that links this file.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vantel::automation {
namespace {

LONG liveObjects = 0;
LONG serverLocks = 0;

}  // namespace

void ObjectCreated() noexcept { InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() noexcept { InterlockedDecrement(&liveObjects); }

void LockServer(bool lock) noexcept {
  if (lock) {
    InterlockedIncrement(&serverLocks);
  } else {
    InterlockedDecrement(&serverLocks);
  }
}

bool CanUnloadNow() noexcept {
  return InterlockedCompareExchange(&liveObjects, 0, 0) == 0 && InterlockedCompareExchange(&serverLocks, 0, 0) == 0;
}

HMODULE ThisModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring ModulePath() {
  // GetModuleFileNameW truncates without saying how much room it needs.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(ThisModule(), path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
    if (size >= 32768) return {};
    path.resize(std::size_t{size} * 2);
  }
}

}  // namespace vantel::automation
