# Cross build for 32-bit Windows with Debian's MinGW-w64. CMAKE_SYSTEM_PROCESSOR
# matters: it makes vantel_target_options() add -msse2 -mfpmath=sse, without
# which doubles would be computed in x87 extended precision and some answers
# would differ.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VANTEL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
