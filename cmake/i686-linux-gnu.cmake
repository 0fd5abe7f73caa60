# Cross-compiles the program and its tests for 32-bit x86 Linux with Debian's
# g++-i686-linux-gnu; the x86-64 host runs them itself.
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
# This compiler computes on the x87 unit by default; the build's guard
# (cmake/plain_double.cmake) moves it to SSE2, which keeps the results bit for
# bit.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static, so that the host runs the programs without Debian's 32-bit
# libraries (libc6:i386) installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
