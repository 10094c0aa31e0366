# 64-bit Windows console program with Debian's MinGW-w64 cross compiler
# (g++-mingw-w64-x86-64, in its POSIX-threads flavour, which GoogleTest
# needs), linked statically so that Tintwise.exe needs no DLLs beyond
# Windows' own. x86-64 does its float and double math in SSE2 by default; the
# build forbids fused operations as for every target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib from Debian's libz-mingw-w64-dev, its static library, so that the
# programs need no zlib1.dll either.
set(ZLIB_USE_STATIC_LIBS ON)
