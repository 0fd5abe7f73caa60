# Cross-compiles the program and its tests for 64-bit ARM Linux with Debian's
# g++-aarch64-linux-gnu; ctest runs the tests under qemu-aarch64 (qemu-user).
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static: qemu then needs no ARM64 system folder (-L) to find a loader and
# libraries, each start under emulation skips the dynamic loading (the
# end-to-end tests start the program dozens of times), and it is the shape
# of the i686 build.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
find_program(INTEGRATE_QEMU qemu-aarch64)
if(INTEGRATE_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${INTEGRATE_QEMU})
endif()
