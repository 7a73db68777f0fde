// The type information that describes _CompareUS to IDispatch callers, read
// from this library's own TYPELIB resource on first use and kept.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace vantel::automation {

// An added reference to the type information of _CompareUS.
HRESULT GetCompareUSTypeInfo(ITypeInfo** info) noexcept;

// Drops the kept type information (when the library is unloaded).
void ReleaseTypeInfo() noexcept;

}  // namespace vantel::automation
