# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# std::thread needs). Used for our own build and for the libraries scripts/windows-deps builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRIMMEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRIMMEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIMMEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${BRIMMEL_MINGW}-windres)
set(CMAKE_AR ${BRIMMEL_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${BRIMMEL_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/${BRIMMEL_MINGW} ${BRIMMEL_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Unit test programs found by gtest_discover_tests and the like run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64 CACHE FILEPATH "")
