/* Identifiers of VantelUS 1.0. Chosen once; clients and registrations depend
 * on them, so they never change while the version stays 1.0.
 *
 * Plain C preprocessor text: widl reads this file for the type library, windres
 * for the resources, and the C++ sources for the dispatch identifiers. */
#ifndef VANTEL_AUTOMATION_IDENTIFIERS_H
#define VANTEL_AUTOMATION_IDENTIFIERS_H

/* Bare GUIDs, as the IDL's uuid() attribute takes them: not C++ tokens. */
// clang-format off
#define VANTEL_LIBID 3cf3b38b-6e39-4819-a546-041afc28d903
#define VANTEL_IID_COMPAREUS 25692e5e-b88c-4fd7-bb9d-3b8b409ddaba
#define VANTEL_CLSID_COMPAREUS 4a125f43-6a2f-4d32-8587-0a4c857ea678
// clang-format on

/* The interface identifier as the resource _IID_COMPAREUS holds it: a 32-bit
 * byte count (16), then the identifier's 16 bytes in memory order, written as
 * resource data words (L: 32 bits, else 16 bits, both little-endian). The
 * client test compares these bytes with the type library's identifier. */
#define VANTEL_IID_COMPAREUS_RCDATA 16L, 0x25692e5eL, 0xb88c, 0x4fd7, 0x9dbb, 0x8b3b, 0x9d40, 0xbada

#define VANTEL_DISPID_COMPARE 1
#define VANTEL_DISPID_INITVT 2

#endif
