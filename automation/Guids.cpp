// Defines the identifiers that widl declares in VantelUS_h.h (LIBID_VantelUS,
// IID__CompareUS, CLSID_CompareUS). The platform headers come first so that
// only ours are defined here.
#include <windows.h>
#include <ole2.h>

#include <initguid.h>

#include "VantelUS_h.h"
