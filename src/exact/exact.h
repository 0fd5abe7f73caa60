// The exact integral of an integrand, built-in or typed, the exact error of
// a result, and the split of that error into the rule's own part and the
// part that rounding to double adds. Everything is computed from the
// doubles a and b, taken as the exact binary fractions they are, and from
// the integrand's numbers as the decimals written.
//
// A digit is printed only where it is known: a value known within a bound
// shows its digits only where both ends of that bound give the same ones.
#pragma once

#include <cmath>
#include <memory>
#include <string>

#include "integrands.h"
#include "quadrature.h"
#include "rules.h"

// real: a value; not_real: the integrand is no real number somewhere on the
// interval; none: there is no integral (an end that is no finite number);
// undetermined: the value could not be found to the digits shown.
enum class IntegralKind { real, not_real, none, undetermined };

// The exact value behind an Integral: kept out of this header so that only
// the library compiles the big-number arithmetic.
struct ExactValue;

struct Integral {
    IntegralKind kind = IntegralKind::none;
    // real: the integral with fifteen decimals as printf's %.15f would write
    // the exact value (correctly rounded, ties to even), all its integer
    // digits however many
    std::string digits;
    std::string why;      // not_real, none, undetermined: why, in Slovak
    double nearest = NAN; // real: the double nearest the integral, +-inf beyond the range
    std::shared_ptr<const ExactValue> value;
};

// The integral of e from a to b. Polynomials are integrated exactly as
// written; sqrt(sin x) is real only where sin x >= 0 on the whole interval,
// and is then known to far more than the printed digits; any other function
// by tanh-sinh in 50 digits, where it is proven real and two estimates agree.
Integral exact_integral(const IntegrandEntry& e, double a, double b);

// Whether e is a real number at x, however large: a value beyond the range
// of a double is real, the square root of a negative number is not.
bool real_at(const IntegrandEntry& e, double x);

// result - integral, rounded once from the exact difference.
struct Difference {
    bool exists = false; // false where the integral is not real or the result is NaN
    // as printf's %+.2e would write the exact difference: "+4.27e-04",
    // "+0.00e+00" for exactly 0, "+1.23e+3000" beyond the range of a double;
    // "inf" or "-inf" for an infinite result; "?" where the integral is
    // known too loosely for these digits
    std::string text;
    double value = NAN; // the difference correctly rounded to double
    bool known = false; // `value` to its last bit (the integral exact, or close enough)
};
Difference error_of(const Integral& integral, double result);

// R* is the rule evaluated exactly (double-double, about 106 bits) over the
// program's own double points and its own double h. method = R* - integral
// and rounding = result - R*, each rounded once to double: their sum is the
// whole error. Exists for n >= 1, a real integral, a finite result and a
// finite R*. `integral` is exact_integral(e, a, b), computed once for a
// table. Each thread keeps the sums of its last integrand and interval, so
// that a table's n after n/2 sums only the new points; no bit depends on it.
// Progress is told as the points evaluated so far (`total` is 0): how many
// there are depends on what was summed before.
struct Split {
    bool exists = false;
    double method = NAN;
    double rounding = NAN;
    // as %+.2e writes each, "?" where R* and the integral are not known
    // closely enough for those digits (a method error below what sums of
    // 2^24 points and more resolve)
    std::string method_text;
    std::string rounding_text;
};
Split split_error(Rule rule, const IntegrandEntry& e, double a, double b, int n, double result,
                  const Integral& integral, Progress progress = {});
// What a point of split_error costs, roughly, in points of the rule's own
// run on the same integrand: for a progress line that counts both.
long long split_weight(const IntegrandEntry& e);
