# 32-bit x86 Linux with Debian's cross compiler (g++-i686-linux-gnu).
# Executables are static, so they run on any x86 Linux and under qemu-i386.
# Math is SSE2: the x87 unit would carry extended precision (the build adds
# the same flags, and the model header refuses to compile without them).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib from Debian's multiarch zlib1g-dev:i386, where it is installed
# (scripts/check-targets): its static library under /usr/lib/i386-linux-gnu.
set(TINTWISE_MULTIARCH i386-linux-gnu)
set(ZLIB_USE_STATIC_LIBS ON)
