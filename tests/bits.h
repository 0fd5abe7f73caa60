#pragma once

#include <cstdint>
#include <cstring>

// The exact bits of a double, so that a NaN, a signed zero and the last bit
// all count in a comparison.
inline std::uint64_t bits(double v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
