// The class object of CompareUS, which DllGetClassObject hands out.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace vantel::automation {

// The class object for `classId` through `interfaceId`; CLASS_E_CLASSNOTAVAILABLE
// for any class other than CompareUS.
HRESULT GetClassObject(REFCLSID classId, REFIID interfaceId, void** object) noexcept;

}  // namespace vantel::automation
