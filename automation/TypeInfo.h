// The type information of this library's own TYPELIB resource, read on first
// use and kept: the dual interface _CompareUS, which describes the object to
// IDispatch callers, and the class CompareUS, which IProvideClassInfo hands to
// hosts that look up an instance's class (and its name, as TypeName shows it).
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace vantel::automation {

// An added reference to the type information of _CompareUS.
HRESULT GetCompareUSTypeInfo(ITypeInfo** info) noexcept;

// An added reference to the type information of the class CompareUS.
HRESULT GetCompareUSClassInfo(ITypeInfo** info) noexcept;

// Drops the kept type information (when the library is unloaded).
void ReleaseTypeInfo() noexcept;

}  // namespace vantel::automation
