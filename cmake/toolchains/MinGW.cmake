# What both MinGW-w64 cross builds share, once VANTEL_MINGW_TRIPLET is set:
# Debian's posix thread model compilers (GCC 12's win32 model has no
# std::thread, which bulk matching needs), and libraries and headers taken
# only from the target's root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${VANTEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and DLL links the C++ run-time and winpthread statically, so
# that it needs nothing but Windows' own DLLs (vantel.exe, VantelUS.dll and
# the test programs alike); release builds are stripped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
