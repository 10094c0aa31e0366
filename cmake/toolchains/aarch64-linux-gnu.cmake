# 64-bit Arm Linux with Debian's cross compiler (g++-aarch64-linux-gnu),
# run under qemu-user. GCC contracts a*b+c into fused multiply-adds by default
# on aarch64; the build forbids it (-ffp-contract=off) for every target.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(TINTWISE_QEMU_AARCH64 qemu-aarch64)
if(TINTWISE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TINTWISE_QEMU_AARCH64})
endif()
# zlib from Debian's multiarch zlib1g-dev:arm64, where it is installed
# (scripts/check-targets): its static library under /usr/lib/aarch64-linux-gnu.
set(TINTWISE_MULTIARCH aarch64-linux-gnu)
set(ZLIB_USE_STATIC_LIBS ON)
