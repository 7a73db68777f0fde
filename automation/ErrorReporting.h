// How failures leave the server. A run-time error of the component becomes the
// failure result 0x800A0000 + its number together with error information
// (IErrorInfo) carrying its description, which is what automation clients
// turn into Err.Number and Err.Description. No C++ exception may cross the
// binary interface, so every entry point runs its body through Guarded().
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "vantel/Errors.h"

namespace vantel::automation {

// Shown as Err.Source; also the programmatic identifier of the class.
inline constexpr wchar_t kErrorSource[] = L"VantelUS.CompareUS";

// The failure result of run-time error `number`: 0x800A0000 + number for 1 to
// 65535. A negative number already is a failure result and is passed on as
// one; 0 and larger numbers have no result of their own and give E_FAIL.
HRESULT ResultOfRuntimeError(std::int32_t number) noexcept;

// Records `error` as this thread's error information and returns its result.
HRESULT ReportRuntimeError(const RuntimeError& error) noexcept;

// The same for the exception being handled; call it only inside a catch block.
// Exceptions other than RuntimeError give E_OUTOFMEMORY (std::bad_alloc) or
// E_UNEXPECTED, with a description all the same.
HRESULT ReportCurrentException() noexcept;

// Runs `body` and returns S_OK, or the reported failure if it threw.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return ReportCurrentException();
  }
}

// For IDispatch::Invoke: moves a failure result and this thread's error
// information into `exception` (when given) and returns DISP_E_EXCEPTION.
HRESULT ToDispatchException(HRESULT failure, EXCEPINFO* exception) noexcept;

}  // namespace vantel::automation
