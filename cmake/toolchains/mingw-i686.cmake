# Cross build for 32-bit Windows with Debian's MinGW-w64 (win32 thread model:
# no winpthread to carry along). CMAKE_SYSTEM_PROCESSOR matters: it makes
# vantel_target_options() add -msse2 -mfpmath=sse, without which doubles would
# be computed in x87 extended precision and some answers would differ.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VANTEL_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER ${VANTEL_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${VANTEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
