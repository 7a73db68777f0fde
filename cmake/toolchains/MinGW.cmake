# What both MinGW-w64 cross builds share, once VANTEL_MINGW_TRIPLET is set:
# Debian's posix thread model compilers (GCC 12's win32 model has no
# std::thread, which bulk matching needs; winpthread is linked statically, so
# nothing but Windows' own DLLs is needed at run time), and libraries and
# headers taken only from the target's root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${VANTEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
