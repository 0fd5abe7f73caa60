// The built-in integrands and the catalogue that ties each to its menu key
// and to the label written into the results file.
//
// Every polynomial is evaluated exactly as its menu text reads: products left
// to right (a coefficient first), each power its own chain of multiplications
// by x, terms added and subtracted left to right. Users compare digits with
// earlier runs, so no Horner scheme, no shared powers and no fused
// multiply-add (the build sets -ffp-contract=off): any of them changes the
// last bits.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>

using Integrand = double (*)(double);

namespace expr {
struct Expression;
class Program;
} // namespace expr

// An integrand's facts, each in one place: the built-ins' here, a typed
// function's made by the command line.
// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding): the fields in the order an entry reads; a dozen entries
struct IntegrandEntry {
    char key;         // typed at the integrand menu and as F; 0 for a typed function
    char label;       // written after "f" in the results file
    const char* menu; // its line of the integrand menu, spaces and all; null where unlisted
    const char* text; // as a function is typed (decimal points, sqrt(sin(x))), or the typed text
    Integrand f;      // compiled, the integrand inlined into the engine; null for a typed function
    // log2 of the least n from which other threads evaluate beside the chain
    // of additions, for each rule in the rule table's order: Simpson's, the
    // rectangle, the trapezoid, the midpoint and the right rectangle rule;
    // 0: never (README's Speed has the measurements)
    unsigned char threads_from[5];
    const expr::Expression* expression = nullptr; // a typed function's tree; null: `text` parsed
    const expr::Program* program = nullptr;       // a typed function's program
};

// x^3 +3x^2 +x-3
inline double f1(double x) { return ((x * x * x + 3.0 * x * x) + x) - 3.0; }
// x^2 -4x +2
inline double f2(double x) { return (x * x - 4.0 * x) + 2.0; }
// x^3-7x+2,5
inline double f3(double x) { return (x * x * x - 7.0 * x) + 2.5; }
// x^4 -4x^2 +3
inline double f4(double x) { return (x * x * x * x - 4.0 * x * x) + 3.0; }
// x^4 +1
inline double f5(double x) { return x * x * x * x + 1.0; }
// x^5 -2x^4 +3x^3 -4x^2 +5x -6
inline double f6(double x)
{
    return ((((x * x * x * x * x - 2.0 * x * x * x * x) + 3.0 * x * x * x) - 4.0 * x * x) + 5.0 * x) - 6.0;
}
// -x^4 +8x^3 -18x^2 +27: the leading term starts from the constant -1
inline double f7(double x) { return ((-1.0 * x * x * x * x + 8.0 * x * x * x) - 18.0 * x * x) + 27.0; }
// 0,25x^4 -0,5x^3 -x^2 -3x -5
inline double f8(double x)
{
    return (((0.25 * x * x * x * x - 0.5 * x * x * x) - x * x) - 3.0 * x) - 5.0;
}
// -x^3 +2x^2 -7x +2: the leading term starts from the negated argument
inline double f9(double x) { return (((-x) * x * x + 2.0 * x * x) - 7.0 * x) + 2.0; }
// x^9 -0,5x^8 +x^7 -2x^6 +3,5x^5 -7x^4 +15x^3 -27x^2 +x -18
inline double f0(double x)
{
    const double t1 = x * x * x * x * x * x * x * x * x;
    const double t2 = 0.5 * x * x * x * x * x * x * x * x;
    const double t3 = x * x * x * x * x * x * x;
    const double t4 = 2.0 * x * x * x * x * x * x;
    const double t5 = 3.5 * x * x * x * x * x;
    const double t6 = 7.0 * x * x * x * x;
    const double t7 = 15.0 * x * x * x;
    const double t8 = 27.0 * x * x;
    return ((((((((t1 - t2) + t3) - t4) + t5) - t6) + t7) - t8) + x) - 18.0;
}
// sqrt(sin x), not in the menu; NaN where sin x < 0
inline double fA(double x) { return std::sqrt(std::sin(x)); }

// In menu order; the integrand menu lists all but the last. The menu's
// texts write decimal commas, as Slovak does; `text` is each one as typed on
// the command line, which gives the built-in's bits.
inline constexpr IntegrandEntry integrand_catalogue[] = {
    {'1', '1', "x^3 +3x^2 +x-3 ", "x^3 +3x^2 +x-3", f1, {22, 0, 0, 0, 0}},
    {'2', '2', "x^2 -4x +2", "x^2 -4x +2", f2, {0, 0, 0, 0, 0}},
    {'3', '3', "x^3-7x+2,5 ", "x^3-7x+2.5", f3, {0, 0, 0, 0, 0}},
    {'4', '4', "x^4 -4x^2 +3 ", "x^4 -4x^2 +3", f4, {22, 0, 0, 0, 0}},
    {'5', '5', "x^4 +1 ", "x^4 +1", f5, {0, 0, 0, 0, 0}},
    {'6', '6', "x^5 -2x^4 +3x^3 -4x^2 +5x -6 ", "x^5 -2x^4 +3x^3 -4x^2 +5x -6", f6, {18, 0, 20, 0, 0}},
    {'7', '7', "-x^4 +8x^3 -18x^2 +27 ", "-x^4 +8x^3 -18x^2 +27", f7, {20, 0, 0, 0, 0}},
    {'8', '8', "0,25x^4 -0,5x^3 -x^2 -3x -5", "0.25x^4 -0.5x^3 -x^2 -3x -5", f8, {20, 0, 0, 0, 0}},
    {'9', '9', "-x^3 +2x^2 -7x +2 ", "-x^3 +2x^2 -7x +2", f9, {20, 0, 0, 0, 0}},
    {'0', '0', "x^9 -0,5x^8 +x^7 -2x^6 +3,5x^5 -7x^4 +15x^3 -27x^2 +x -18",
     "x^9 -0.5x^8 +x^7 -2x^6 +3.5x^5 -7x^4 +15x^3 -27x^2 +x -18", f0, {16, 18, 18, 18, 18}},
    {'a', 'A', nullptr, "sqrt(sin(x))", fA, {16, 16, 16, 16, 16}},
};
inline constexpr std::size_t integrand_count = sizeof integrand_catalogue / sizeof integrand_catalogue[0];

// The entry whose key is `key`, or null.
inline const IntegrandEntry* integrand_with_key(char key)
{
    const IntegrandEntry* e = std::find_if(std::begin(integrand_catalogue), std::end(integrand_catalogue),
                                           [key](const IntegrandEntry& x) { return x.key == key; });
    if (e == std::end(integrand_catalogue))
        return nullptr;
    return e;
}

// The entry whose key is `key`; every other character (newline, q, upper
// case, bytes above 127) selects f1, as the menu has always done.
inline const IntegrandEntry& select_integrand(char key)
{
    const IntegrandEntry* e = integrand_with_key(key);
    if (e == nullptr)
        return integrand_catalogue[0];
    return *e;
}

// What the results file and the table call the integrand: f5, fA, or a
// typed function's text.
inline std::string integrand_name(const IntegrandEntry& e)
{
    if (e.key == 0)
        return e.text;
    return std::string("f") + e.label;
}

// The integrand's tree: a typed function's own, a built-in's parsed from its
// text once.
const expr::Expression& expression_of(const IntegrandEntry& e);
