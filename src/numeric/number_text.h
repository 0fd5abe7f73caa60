// A double as printf's `format` writes it ("%.15f", "%.17g", "%+.2e"), but
// nan, inf and -inf the same on every system, whatever sign or payload a NaN
// has: what the command line, the exact values and the pictures print.
#pragma once

#include <string>

std::string number_text(const char* format, double v);
