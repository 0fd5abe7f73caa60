// Shared by the two halves of the library: exact.cpp, which computes with
// big numbers, and split.cpp, which sums the rules in double-double.
#pragma once

#include <memory>
#include <vector>

#include "double_double.h"
#include "exact.h"

namespace exact_detail {

// A polynomial's coefficients from the constant term up, each the nearest
// double-double to the decimal written; empty where the integrand is none.
std::vector<dd::DD> polynomial_coefficients(const IntegrandEntry& e);

// Whether the integrand is sqrt(sin x).
bool is_root_of_sine(const IntegrandEntry& e);

// Any integrand in 50 digits, rounded to double-double at the end.
struct FineValues;
std::shared_ptr<const FineValues> fine_values(const IntegrandEntry& e);
dd::DD fine_value(const FineValues& f, double x);

// sin(j*pi/256) for j = 0, ..., 511 to double-double precision; exactly 0
// and +-1 where sin is.
const dd::DD* sine_table();

// The split from R* = h * (sum.hi + sum.lo) / divisor, taken exactly, the
// sum known within `sum_bound`.
Split finish_split(const Integral& integral, double h, dd::DD sum, double sum_bound, double divisor, double result);

} // namespace exact_detail
