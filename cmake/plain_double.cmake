# The results are promised to the last bit of IEEE double arithmetic, which
# holds only where each operation rounds to double. The x87 unit keeps
# intermediates in 80-bit registers and rounds them again when it stores
# them (__FLT_EVAL_METHOD__ 2), which changes the last digits. GCC and Clang
# can be moved to the SSE2 unit; any other compiler that widens is refused
# rather than left to print other digits. MSVC is not asked: it computes on
# SSE2 for 32 and 64 bits alike.
#
# The check runs at every configure, as the cached answer would not follow a
# changed CMAKE_CXX_FLAGS or toolchain.
include(CheckCXXSourceCompiles)

set(INTEGRATE_PLAIN_DOUBLE_SOURCE [[
#if !defined(__FLT_EVAL_METHOD__) || __FLT_EVAL_METHOD__ != 0
#error double expressions are not evaluated in plain double
#endif
int main() { return 0; }
]])
set(INTEGRATE_SSE2_MATH -msse2 -mfpmath=sse)

if(NOT MSVC)
  unset(INTEGRATE_PLAIN_DOUBLE CACHE)
  check_cxx_source_compiles("${INTEGRATE_PLAIN_DOUBLE_SOURCE}" INTEGRATE_PLAIN_DOUBLE)
  if(NOT INTEGRATE_PLAIN_DOUBLE)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER_ID} does not evaluate double expressions in plain double "
        "(__FLT_EVAL_METHOD__ is not 0): wider intermediates, such as the x87's 80 bits, change the last "
        "digits of the results. Build with GCC, Clang or MSVC, or give this compiler's flags for SSE2 math "
        "in CMAKE_CXX_FLAGS.")
    endif()
    list(JOIN INTEGRATE_SSE2_MATH " " sse2_math)
    unset(INTEGRATE_PLAIN_DOUBLE_SSE2 CACHE)
    set(CMAKE_REQUIRED_FLAGS "${sse2_math}")
    check_cxx_source_compiles("${INTEGRATE_PLAIN_DOUBLE_SOURCE}" INTEGRATE_PLAIN_DOUBLE_SSE2)
    unset(CMAKE_REQUIRED_FLAGS)
    if(NOT INTEGRATE_PLAIN_DOUBLE_SSE2)
      message(FATAL_ERROR "Double expressions are not evaluated in plain double (__FLT_EVAL_METHOD__ is not "
        "0), not even with ${sse2_math}: wider intermediates, such as the x87's 80 bits, change the last "
        "digits of the results. This processor or compiler cannot give the bit-for-bit results.")
    endif()
    message(STATUS "Double expressions evaluate wider than double here (the x87's 80 bits): "
      "adding ${sse2_math} to every target")
    add_compile_options(${INTEGRATE_SSE2_MATH})
  endif()
endif()
