# Cross-compiles the program and its tests for 64-bit Windows with MinGW-w64
# from Debian (g++-mingw-w64-x86-64-posix); ctest runs the tests under Wine.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Only x86_64 is built here; for a 32-bit build the guard in
# cmake/plain_double.cmake would move GCC off the x87 unit to SSE2.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(INTEGRATE_WINE wine)
if(INTEGRATE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${INTEGRATE_WINE})
endif()
