// The exact values: rationals for the polynomials, a 50-digit quadrature for
// sqrt(sin x) and for any other function, and their conversion to decimal
// text and to double.
#include "exact.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <boost/multiprecision/cpp_int.hpp>

#include "exact_detail.h"
#include "exact_expression.h"
#include "number_text.h"

namespace mp = boost::multiprecision;
using Int = mp::cpp_int;
using Rational = mp::cpp_rational;

// The integral itself, and a bound on its error: 0 for a polynomial's, the
// quadrature's for any other. A 50-digit value is kept as the rational it
// is, so that one arithmetic serves every integrand.
struct ExactValue {
    Rational q;
    Rational bound;
};

namespace {

// Enough digits to tell on which side of k*pi any double lies: the closest a
// double comes to a multiple of pi is about 2^-62, and k has up to 309 digits.
using Wide = mp::number<mp::cpp_bin_float<440>, mp::et_off>;
// The quadrature's arithmetic: far beyond the 15 printed decimals.
using Fine = expr::Fine;

const Wide& wide_pi()
{
    static const Wide pi("3.14159265358979323846264338327950288419716939937510582097494459230781640628620899862803"
                         "48253421170679821480865132823066470938446095505822317253594081284811174502841027019385"
                         "21105559644622948954930381964428810975665933446128475648233786783165271201909145648566"
                         "92346034861045432664821339360726024914127372458700660631558817488152092096282925409171"
                         "53643678925903600113305305488204665213841469519415116094330572703657595919530921861173"
                         "819326118");
    return pi;
}

Rational rational_of(double v)
{
    int e = 0;
    const double m = std::frexp(v, &e);
    // |m| in [0.5, 1): 53 bits of it make an exact integer
    const long long digits = static_cast<long long>(std::ldexp(m, 53));
    Int num = digits < 0 ? Int(-digits) : Int(digits);
    e -= 53;
    Int den = 1;
    if (e >= 0)
        num <<= e;
    else
        den <<= -e;
    if (digits < 0)
        num = -num;
    return Rational(num, den);
}

// num / den rounded to the nearest integer, ties to even; num >= 0, den > 0.
Int round_half_even(const Int& num, const Int& den)
{
    Int q;
    Int r;
    mp::divide_qr(num, den, q, r);
    const int c = Int(r * 2).compare(den);
    if (c > 0 || (c == 0 && mp::bit_test(q, 0)))
        ++q;
    return q;
}

// The double nearest q, ties to even, subnormal and infinite results too.
double to_double(const Rational& q)
{
    if (q == 0)
        return 0.0;
    const bool negative = q < 0;
    const Int num = mp::abs(mp::numerator(q));
    const Int& den = mp::denominator(q);
    const long long scale = static_cast<long long>(mp::msb(num)) - static_cast<long long>(mp::msb(den));
    if (scale > 1100)
        return negative ? -HUGE_VAL : HUGE_VAL;
    // q / 2^shift lies in [2^52, 2^54); below the normal range the quantum is 2^-1074
    long long shift = std::max(scale - 53, -1074LL);
    Int m;
    for (;;) {
        const Int n = shift < 0 ? Int(num << static_cast<unsigned>(-shift)) : num;
        const Int d = shift > 0 ? Int(den << static_cast<unsigned>(shift)) : den;
        m = round_half_even(n, d);
        if (m <= (Int(1) << 53))
            break;
        ++shift;
    }
    const double v = std::ldexp(static_cast<double>(static_cast<long long>(m)), static_cast<int>(shift));
    return negative ? -v : v;
}

Int power_of_ten(long long k) { return mp::pow(Int(10), static_cast<unsigned>(k)); }

// As printf's %.15f writes q: the sign stays where the value rounds to 0.
std::string fixed_15(const Rational& q)
{
    std::string s = round_half_even(mp::abs(mp::numerator(q)) * power_of_ten(15), mp::denominator(q)).str();
    if (s.size() < 16)
        s.insert(0, 16 - s.size(), '0');
    s.insert(s.size() - 15, ".");
    if (q < 0)
        s.insert(0, "-");
    return s;
}

// The sign of num/den - 10^e.
int compare_to_power_of_ten(const Int& num, const Int& den, long long e)
{
    if (e >= 0)
        return num.compare(den * power_of_ten(e));
    return Int(num * power_of_ten(-e)).compare(den);
}

// As printf's %+.2e writes q, with as many exponent digits as it takes.
std::string scientific_3(const Rational& q)
{
    if (q == 0)
        return "+0.00e+00";
    const Int num = mp::abs(mp::numerator(q));
    const Int& den = mp::denominator(q);
    // 10^e <= |q| < 10^(e+1), from the bit lengths and then exactly
    const long long bits = static_cast<long long>(mp::msb(num)) - static_cast<long long>(mp::msb(den));
    long long e = static_cast<long long>(std::floor(static_cast<double>(bits) * 0.30102999566398120));
    while (compare_to_power_of_ten(num, den, e + 1) >= 0)
        ++e;
    while (compare_to_power_of_ten(num, den, e) < 0)
        --e;
    Int m = e <= 2 ? round_half_even(num * power_of_ten(2 - e), den) : round_half_even(num, den * power_of_ten(e - 2));
    if (m == 1000) {
        m = 100;
        ++e;
    }
    const std::string d = m.str();
    const std::string exponent = std::to_string(e < 0 ? -e : e);
    return std::string(q < 0 ? "-" : "+") + d[0] + "." + d.substr(1) + "e" + (e < 0 ? "-" : "+") +
           (exponent.size() < 2 ? "0" : "") + exponent;
}

// An end as the user reads it.
std::string end_text(double v) { return number_text("%.17g", v); }

std::string multiple_of_pi(const Int& k)
{
    if (k == 0)
        return "0";
    if (k == 1)
        return "pi";
    if (k == -1)
        return "-pi";
    return k.str() + "*pi";
}

Integral without_value(IntegralKind kind, std::string why)
{
    Integral r;
    r.kind = kind;
    r.why = std::move(why);
    return r;
}

// The integral q, known within `bound`: its fifteen decimals only where
// both ends of the bound give them.
Integral real_integral(const Rational& q, const Rational& bound = 0)
{
    const std::string digits = fixed_15(q);
    // A zero's sign is no digit: an integral within 1e-4800 of 0 is
    // 0.000000000000000 whichever side of it lies.
    const auto decimals = [](const Rational& v) {
        std::string t = fixed_15(v);
        if (t == "-0.000000000000000")
            t.erase(0, 1);
        return t;
    };
    if (bound != 0 && (decimals(q - bound) != decimals(q) || decimals(q + bound) != decimals(q)))
        return without_value(IntegralKind::undetermined, "jeho 15 desatinnych miest sa nepodarilo urcit");
    Integral r;
    r.kind = IntegralKind::real;
    r.digits = digits;
    r.nearest = to_double(q);
    r.value = std::make_shared<const ExactValue>(ExactValue{q, bound});
    return r;
}

// The antiderivative sum c_k x^(k+1) / (k+1) at x.
Rational antiderivative(const std::vector<Rational>& c, const Rational& x)
{
    Rational sum = 0;
    Rational power = x;
    for (std::size_t k = 0; k < c.size(); ++k) {
        if (c[k] != 0)
            sum += c[k] * power / static_cast<long long>(k + 1);
        power *= x;
    }
    return sum;
}

// digits(v) for every v within `bound` of q, or "?": a difference's
// %+.2e, say, only where the bound cannot change it.
template <class Digits>
std::string known_digits(const Rational& q, const Rational& bound, const Digits& digits)
{
    std::string text = digits(q);
    if (bound != 0 && (digits(q - bound) != text || digits(q + bound) != text))
        return "?";
    return text;
}

// A function that is none of the others: where it is real, then its
// integral by tanh-sinh, twice.
Integral by_quadrature(const expr::Expression& t, double a, double b)
{
    const double lo = std::min(a, b);
    const double hi = std::max(a, b);
    const expr::Domain d = expr::domain_on(t, lo, hi);
    if (d.kind == expr::Domain::not_real)
        return without_value(IntegralKind::not_real, "f(x) nie je realne cislo pri x = " + end_text(d.witness));
    if (lo == hi)
        return real_integral(Rational(0));
    if (d.kind == expr::Domain::unknown)
        return without_value(IntegralKind::undetermined, "funkcia ma na intervale privela miest, kde nie je "
                                                         "dokazatelne konecna");
    const expr::Reference r = expr::reference_integral(t, lo, hi, d.cuts);
    if (r.refuted)
        return without_value(IntegralKind::undetermined, "funkcia sa niekde meni prudsie, nez body odhadov "
                                                         "rozlisia (uzky vrchol alebo skok)");
    if (!r.found)
        return without_value(IntegralKind::undetermined, "dva nezavisle odhady sa nezhoduju, integral mozno "
                                                         "neexistuje");
    const Rational q = static_cast<Rational>(r.value);
    return real_integral(a <= b ? q : Rational(-q), static_cast<Rational>(r.bound));
}

// The integral of sqrt(sin t) over [lo, hi] within [0, pi], given also as
// the complements c = pi - t. Substituting t = u^2 on [0, pi/2] and
// pi - t = u^2 on [pi/2, pi] turns both square-root ends into the smooth
// 2u sqrt(sin u^2), which tanh-sinh sums to the last digits in a few hundred
// points, and no digits are lost next to pi.
Fine root_sine_integral(const Fine& lo, const Fine& hi, const Fine& c_lo, const Fine& c_hi)
{
    // Shared by all threads: it extends its table of points under its own lock.
    static boost::math::quadrature::tanh_sinh<Fine> quadrature(10);
    static const Fine half_pi = Fine(wide_pi()) / 2;
    const auto g = [](const Fine& u) { return 2 * u * sqrt(sin(u * u)); };
    // A tolerance well beyond the double's digits: each level of tanh-sinh
    // roughly doubles the correct digits of this analytic integrand.
    const Fine tolerance = Fine("1e-40");
    Fine sum = 0;
    if (lo < half_pi)
        sum += quadrature.integrate(g, sqrt(lo), sqrt(std::min(hi, half_pi)), tolerance);
    if (hi > half_pi)
        sum += quadrature.integrate(g, sqrt(c_hi), sqrt(std::min(c_lo, half_pi)), tolerance);
    return sum;
}

// sqrt(sin x) from a to b: real where sin >= 0 on the whole interval
// between them, that is where both ends lie in one [k*pi, (k+1)*pi] with k
// even. Otherwise the end that lies past a multiple of pi is named.
Integral root_sine(double a, double b)
{
    const double lo = std::min(a, b);
    const double hi = std::max(a, b);
    const char* lo_name = a <= b ? "a" : "b";
    const char* hi_name = a <= b ? "b" : "a";
    const Wide& pi = wide_pi();
    const Wide k = floor(Wide(lo) / pi);
    const Int ki = static_cast<Int>(k);
    const bool numbered = mp::abs(ki) < (Int(1) << 53);
    if (mp::bit_test(mp::abs(ki), 0)) {
        const std::string where = numbered ? "medzi " + multiple_of_pi(ki) + " a " + multiple_of_pi(ki + 1)
                                           : std::string("medzi dvoma nasobkami pi");
        return without_value(IntegralKind::not_real, std::string(lo_name) + " = " + end_text(lo) + " lezi " + where);
    }
    const Wide next = (k + 1) * pi;
    if (Wide(hi) > next) {
        const std::string where = numbered ? multiple_of_pi(ki + 1) : std::string("nasobkom pi");
        return without_value(IntegralKind::not_real, std::string(hi_name) + " = " + end_text(hi) + " lezi za " + where);
    }
    if (lo == hi)
        return real_integral(Rational(0));
    // sin(x - k*pi) = sin x for even k; the reduction keeps some 440 digits.
    const Wide base = k * pi;
    const Fine value = root_sine_integral(Fine(Wide(lo) - base), Fine(Wide(hi) - base), Fine(next - Wide(lo)),
                                          Fine(next - Wide(hi)));
    const Rational q = static_cast<Rational>(value);
    // Known far closer than the tolerance asked: the bound is that
    // tolerance, widened.
    return real_integral(a <= b ? q : Rational(-q), abs(q) / power_of_ten(35));
}

} // namespace

namespace exact_detail {

const dd::DD* sine_table()
{
    static const std::vector<dd::DD> table = [] {
        // The first quarter from 50 digits, the rest by symmetry, so that
        // sin is exactly 0 at 0 and pi and exactly 1 at pi/2.
        std::vector<dd::DD> t(512);
        const Fine step = Fine(wide_pi()) / 256;
        for (int j = 1; j < 128; ++j) {
            const Fine s = sin(step * j);
            const double hi = static_cast<double>(s);
            t[j] = {hi, static_cast<double>(s - hi)};
        }
        t[128] = {1.0, 0.0};
        for (int j = 129; j < 256; ++j)
            t[j] = t[256 - j]; // sin(pi - x) = sin x
        for (int j = 257; j < 512; ++j)
            t[j] = dd::neg(t[j - 256]); // sin(x + pi) = -sin x
        return t;
    }();
    return table.data();
}

Split finish_split(const Integral& integral, double h, dd::DD sum, double sum_bound, double divisor, double result)
{
    Split s;
    if (!integral.value || !std::isfinite(h) || !std::isfinite(sum.hi) || !std::isfinite(sum.lo))
        return s;
    const Rational r = rational_of(h) * (rational_of(sum.hi) + rational_of(sum.lo)) / rational_of(divisor);
    if (!std::isfinite(to_double(r)))
        return s;
    const Rational r_bound = abs(rational_of(h)) * rational_of(sum_bound) / rational_of(divisor);
    s.exists = true;
    const Rational method = r - integral.value->q;
    const Rational rounding = rational_of(result) - r;
    s.method = to_double(method);
    s.rounding = to_double(rounding);
    s.method_text = known_digits(method, r_bound + integral.value->bound, scientific_3);
    s.rounding_text = known_digits(rounding, r_bound, scientific_3);
    return s;
}

std::vector<dd::DD> polynomial_coefficients(const IntegrandEntry& e)
{
    std::vector<Rational> c;
    if (!expr::polynomial_of(expression_of(e), c))
        return {};
    std::vector<dd::DD> out;
    for (const Rational& q : c) {
        const double hi = to_double(q);
        out.push_back(dd::DD{hi, to_double(q - rational_of(hi))});
    }
    if (out.empty())
        out.push_back(dd::DD{0.0, 0.0});
    return out;
}

bool is_root_of_sine(const IntegrandEntry& e) { return expr::is_root_of_sine(expression_of(e)); }

struct FineValues {
    expr::FineFunction f;
};

std::shared_ptr<const FineValues> fine_values(const IntegrandEntry& e)
{
    return std::make_shared<const FineValues>(FineValues{expr::FineFunction(expression_of(e))});
}

dd::DD fine_value(const FineValues& f, double x)
{
    const Fine v = f.f(Fine(x));
    const double hi = static_cast<double>(v);
    if (!std::isfinite(hi))
        return dd::DD{hi, hi};
    return dd::DD{hi, static_cast<double>(v - hi)};
}

} // namespace exact_detail

Integral exact_integral(const IntegrandEntry& e, double a, double b)
{
    for (const auto& [name, v] : {std::pair{"a", a}, std::pair{"b", b}}) {
        if (std::isnan(v))
            return without_value(IntegralKind::none, std::string(name) + " = nan nie je cislo");
        if (std::isinf(v))
            return without_value(IntegralKind::none, std::string(name) + " = " + end_text(v) + " nie je konecne cislo");
    }
    const expr::Expression& t = expression_of(e);
    if (expr::is_root_of_sine(t))
        return root_sine(a, b);
    std::vector<Rational> c;
    if (expr::polynomial_of(t, c))
        return real_integral(antiderivative(c, rational_of(b)) - antiderivative(c, rational_of(a)));
    return by_quadrature(t, a, b);
}

bool real_at(const IntegrandEntry& e, double x)
{
    if (std::isnan(x))
        return false;
    const Fine v = expr::FineFunction(expression_of(e))(Fine(x));
    return isfinite(v);
}

Difference error_of(const Integral& integral, double result)
{
    Difference d;
    if (integral.kind != IntegralKind::real || !integral.value || std::isnan(result))
        return d;
    d.exists = true;
    if (std::isinf(result)) {
        d.text = number_text("%+.2e", result);
        d.value = result;
        d.known = true;
        return d;
    }
    const Rational q = rational_of(result) - integral.value->q;
    d.text = known_digits(q, integral.value->bound, scientific_3);
    d.value = to_double(q);
    // to its last bit where the bound is below half of its last place
    d.known = integral.value->bound * Rational(Int(1) << 54) <= abs(q);
    return d;
}
