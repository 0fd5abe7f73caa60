// The mathematical side of a typed function, for its exact integral and the
// split of an error: its numbers taken as the decimals typed (0.1 is 1/10,
// not the double nearest it), pi and e to 50 digits.
//
// - A polynomial (sums, products, whole powers, division by a constant,
//   decimal numbers) is integrated exactly in rationals.
// - Any other function is evaluated in 50-digit floats; interval arithmetic
//   proves where on [a, b] it is real and finite, and tanh-sinh integrates
//   it, twice, on different points: the value is accepted only where the two
//   agree far beyond the printed digits, and carries a bound on its error.
#pragma once

#include <vector>

#include <boost/multiprecision/cpp_bin_float.hpp>
#include <boost/multiprecision/cpp_int.hpp>

#include "expression.h"

namespace expr {

using Rational = boost::multiprecision::cpp_rational;
using Fine = boost::multiprecision::number<boost::multiprecision::cpp_bin_float<50>, boost::multiprecision::et_off>;

// A number as typed, exactly: decimal or hexadecimal digits, a point, an
// exponent. False for a number too far out of a double's range to hold.
bool exact_number(const std::string& text, Rational& q);

// The polynomial the expression is, its coefficients from the constant
// term up, or false where it is none (pi, e, a function, a power other than
// a whole one, division by x).
bool polynomial_of(const Expression& e, std::vector<Rational>& coefficients);

// Whether the expression is sqrt(sin(x)) itself, whose integral and split
// have a way of their own.
bool is_root_of_sine(const Expression& e);

// The function in 50 digits, for one expression: its numbers converted
// once. NaN where it is no real number, +-inf at a pole.
class FineFunction {
  public:
    explicit FineFunction(const Expression& e);
    Fine operator()(const Fine& x) const;

  private:
    const Expression* e_;
    std::vector<Fine> numbers_; // each node's number, where it is one
};

// Where on [lo, hi] the function is a real number.
struct Domain {
    enum Kind { real, not_real, unknown } kind = unknown;
    double witness = 0.0;     // not_real: a point where it is none
    std::vector<double> cuts; // real: points inside where it could not be
                              // proven finite, for the quadrature to end at
};
Domain domain_on(const Expression& e, double lo, double hi);

// The integral over [lo, hi] in pieces between the cuts: found where two
// estimates agree, on a value within what interval arithmetic proves of the
// integral, and interval arithmetic finds no place inside where the function
// changes too fast for their points to see; `bound` then bounds its error.
struct Reference {
    bool found = false;
    bool refuted = false; // they agreed, where a narrow feature between their
                          // points may have escaped both
    Fine value;
    Fine bound;
};
Reference reference_integral(const Expression& e, double lo, double hi, const std::vector<double>& cuts);

} // namespace expr
