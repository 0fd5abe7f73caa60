#include "number_text.h"

#include <cmath>
#include <cstdio>

std::string number_text(const char* format, double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    char buf[400]; // %.15f of the largest double has 325 characters
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}
