# Cross build for 64-bit Windows with Debian's MinGW-w64. x86-64 computes
# doubles with SSE2 already.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VANTEL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
