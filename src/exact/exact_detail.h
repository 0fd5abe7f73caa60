// Shared by the two halves of the library: exact.cpp, which alone compiles
// the big-number arithmetic, and split.cpp, which sums the rules in
// double-double.
#pragma once

#include "double_double.h"
#include "exact.h"

namespace exact_detail {

// A menu polynomial as its menu text names it, coefficients from the
// constant term up; every coefficient is a double exactly.
struct Polynomial {
    int degree;
    double c[10];
};

// The polynomial a catalogue integrand computes, or null (sqrt(sin x), any
// function outside the catalogue): known by the function, not by its key.
const Polynomial* polynomial_of(Integrand f);

// sin(j*pi/256) for j = 0, ..., 511 to double-double precision; exactly 0
// and +-1 where sin is.
const dd::DD* sine_table();

// The split from R* = h * (sum.hi + sum.lo) / divisor, taken exactly.
Split finish_split(const Integral& integral, double h, dd::DD sum, double divisor, double result);

} // namespace exact_detail
