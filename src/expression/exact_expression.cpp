#include "exact_expression.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <queue>
#include <utility>

#include <boost/math/constants/constants.hpp>
#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/math/special_functions/cbrt.hpp>

#include "evaluate.h"

namespace expr {

namespace mp = boost::multiprecision;
using Int = mp::cpp_int;

namespace {

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Far beyond any exponent a double reaches, and small enough for the
// rationals to stay small.
constexpr long long farthest_exponent = 5000;

} // namespace

bool exact_number(const std::string& text, Rational& q)
{
    std::size_t at = 0;
    const bool hex = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex)
        at = 2;
    const int base = hex ? 16 : 10;
    Int digits = 0;
    long long scale = 0; // the value is digits * base^scale * 2^or10^exponent
    bool point = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '.') {
            point = true;
            continue;
        }
        const int d = digit_value(c);
        if (d < 0 || d >= base)
            break;
        digits = digits * base + d;
        if (point)
            --scale;
    }
    long long exponent = 0;
    if (at < text.size()) {
        ++at; // e, E, p or P
        bool minus = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            minus = text[at] == '-';
            ++at;
        }
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            exponent = exponent * 10 + (text[at] - '0');
            if (exponent > farthest_exponent * 4)
                return false;
        }
        if (minus)
            exponent = -exponent;
    }
    // hex: digits * 16^scale * 2^exponent; decimal: digits * 10^(scale + exponent)
    long long two = 0;
    long long ten = 0;
    if (hex)
        two = 4 * scale + exponent;
    else
        ten = scale + exponent;
    if (std::llabs(two) > 4 * farthest_exponent || std::llabs(ten) > farthest_exponent)
        return false;
    Int num = digits;
    Int den = 1;
    if (two > 0)
        num <<= static_cast<unsigned>(two);
    if (two < 0)
        den <<= static_cast<unsigned>(-two);
    if (ten > 0)
        num *= mp::pow(Int(10), static_cast<unsigned>(ten));
    if (ten < 0)
        den *= mp::pow(Int(10), static_cast<unsigned>(-ten));
    q = Rational(num, den);
    return true;
}

namespace {

// A polynomial's coefficients, or none where the expression is not one.
struct Poly {
    bool ok = true;
    std::vector<Rational> c; // from the constant term up; empty for 0
};

constexpr std::size_t highest_degree = 4000;

Poly failed() { return Poly{false, {}}; }

Poly trimmed_poly(Poly p)
{
    while (!p.c.empty() && p.c.back() == 0)
        p.c.pop_back();
    return p;
}

struct PolyArithmetic {
    using Value = Poly;

    Poly number(const Node& n) const
    {
        Rational q;
        if (!exact_number(n.text, q))
            return failed();
        return trimmed_poly(Poly{true, {q}});
    }
    Poly pi() const { return failed(); }
    Poly e() const { return failed(); }
    Poly negate(Poly p) const
    {
        std::transform(p.c.begin(), p.c.end(), p.c.begin(), [](const Rational& r) { return Rational(-r); });
        return p;
    }
    Poly combine(const Poly& p, const Poly& q, int sign) const
    {
        if (!p.ok || !q.ok)
            return failed();
        Poly r{true, p.c};
        r.c.resize(std::max(p.c.size(), q.c.size()));
        for (std::size_t k = 0; k < q.c.size(); ++k)
            r.c[k] += sign * q.c[k];
        return trimmed_poly(r);
    }
    Poly add(const Poly& p, const Poly& q) const { return combine(p, q, 1); }
    Poly subtract(const Poly& p, const Poly& q) const { return combine(p, q, -1); }
    Poly multiply(const Poly& p, const Poly& q) const
    {
        if (!p.ok || !q.ok || p.c.size() + q.c.size() > highest_degree)
            return failed();
        if (p.c.empty() || q.c.empty())
            return Poly{};
        Poly r{true, std::vector<Rational>(p.c.size() + q.c.size() - 1)};
        for (std::size_t i = 0; i < p.c.size(); ++i)
            for (std::size_t j = 0; j < q.c.size(); ++j)
                r.c[i + j] += p.c[i] * q.c[j];
        return trimmed_poly(r);
    }
    Poly times(Poly v, const Poly& f, int k) const
    {
        for (int j = 0; j < k && v.ok; ++j)
            v = multiply(v, f);
        return v;
    }
    Poly repeated(const Poly& f, int k) const { return times(f, f, k - 1); }
    // Division by a constant only: a polynomial divided by x is none.
    Poly divide(Poly p, const Poly& q) const
    {
        if (!p.ok || !q.ok || q.c.size() != 1)
            return failed();
        std::transform(p.c.begin(), p.c.end(), p.c.begin(), [&q](const Rational& r) { return Rational(r / q.c[0]); });
        return p;
    }
    // A whole constant power from 0 on.
    Poly power(const Poly& base, const Poly& exponent) const
    {
        if (!base.ok || !exponent.ok || exponent.c.size() > 1)
            return failed();
        if (exponent.c.empty())
            return Poly{true, {Rational(1)}};
        const Rational& k = exponent.c[0];
        if (mp::denominator(k) != 1 || k < 0 || k > Rational(static_cast<long long>(highest_degree)))
            return failed();
        Poly r{true, {Rational(1)}};
        for (Int j = 0; j < mp::numerator(k) && r.ok; ++j)
            r = multiply(r, base);
        return r;
    }
    Poly call(Function, const Poly&) const { return failed(); }
};

Fine fine_pi() { return boost::math::constants::pi<Fine>(); }
Fine fine_e() { return boost::math::constants::e<Fine>(); }

struct FineArithmetic {
    using Value = Fine;
    const Expression* ex;
    const std::vector<Fine>* numbers;

    Fine number(const Node& n) const { return (*numbers)[static_cast<std::size_t>(&n - ex->nodes.data())]; }
    Fine pi() const { return fine_pi(); }
    Fine e() const { return fine_e(); }
    Fine negate(const Fine& a) const { return -a; }
    Fine add(const Fine& a, const Fine& b) const { return a + b; }
    Fine subtract(const Fine& a, const Fine& b) const { return a - b; }
    Fine divide(const Fine& a, const Fine& b) const { return a / b; }
    Fine times(Fine v, const Fine& f, int k) const
    {
        for (int j = 0; j < k; ++j)
            v = v * f;
        return v;
    }
    Fine repeated(const Fine& f, int k) const { return times(f, f, k - 1); }
    Fine power(const Fine& a, const Fine& b) const { return pow(a, b); }
    Fine call(Function fn, const Fine& a) const
    {
        switch (fn) {
        case Function::sin:
            return sin(a);
        case Function::cos:
            return cos(a);
        case Function::tan:
            return tan(a);
        case Function::asin:
            return asin(a);
        case Function::acos:
            return acos(a);
        case Function::atan:
            return atan(a);
        case Function::sinh:
            return sinh(a);
        case Function::cosh:
            return cosh(a);
        case Function::tanh:
            return tanh(a);
        case Function::exp:
            return exp(a);
        case Function::log:
            return log(a);
        case Function::log10:
            return log10(a);
        case Function::sqrt:
            return sqrt(a);
        case Function::cbrt:
            return boost::math::cbrt(a);
        case Function::abs:
            return abs(a);
        }
        return std::numeric_limits<Fine>::quiet_NaN();
    }
};

} // namespace

bool polynomial_of(const Expression& e, std::vector<Rational>& coefficients)
{
    std::vector<Poly> values;
    const Poly p = evaluate(e, Poly{true, {Rational(0), Rational(1)}}, PolyArithmetic{}, values);
    if (!p.ok)
        return false;
    coefficients = p.c;
    return true;
}

bool is_root_of_sine(const Expression& e)
{
    if (e.nodes.size() != 3)
        return false;
    const Node& root = e.nodes[2];
    const Node& inner = e.nodes[1];
    return e.nodes[0].kind == Kind::x && inner.kind == Kind::call && inner.function == Function::sin && inner.a == 0 &&
           root.kind == Kind::call && root.function == Function::sqrt && root.a == 1;
}

FineFunction::FineFunction(const Expression& e) : e_(&e), numbers_(e.nodes.size())
{
    for (std::size_t k = 0; k < e.nodes.size(); ++k) {
        const Node& n = e.nodes[k];
        if (n.kind != Kind::number)
            continue;
        Rational q;
        if (exact_number(n.text, q))
            numbers_[k] = Fine(mp::numerator(q)) / Fine(mp::denominator(q));
        else
            numbers_[k] = Fine(n.value);
    }
}

Fine FineFunction::operator()(const Fine& x) const
{
    thread_local std::vector<Fine> values;
    return evaluate(*e_, x, FineArithmetic{e_, &numbers_}, values);
}

// Interval arithmetic over doubles, each bound moved outwards past what
// rounding and the C library's few ulps could take from it: on a box of x
// it tells that the function is real there (and finite, but where the box
// reaches past a double's range), that it is nowhere real, or neither.
namespace {

struct Box {
    enum State { real, nowhere, unknown } state = real;
    double lo = 0.0;
    double hi = 0.0;
    // real, but the box may hold a point where the function is not smooth
    // (abs, sqrt, cbrt, log or pow of something that may be 0 there): a
    // quadrature converges only when it ends at such a point
    bool kink = false;
};

double below(double v)
{
    if (!std::isfinite(v))
        return v;
    return v - std::fabs(v) * 0x1p-48 - 0x1p-1070;
}
double above(double v)
{
    if (!std::isfinite(v))
        return v;
    return v + std::fabs(v) * 0x1p-48 + 0x1p-1070;
}

Box make(double a, double b)
{
    Box r;
    r.lo = below(std::min(a, b));
    r.hi = above(std::max(a, b));
    if (std::isnan(r.lo) || std::isnan(r.hi)) {
        r.lo = -HUGE_VAL;
        r.hi = HUGE_VAL;
    }
    return r;
}

Box state_of(Box::State s)
{
    Box r;
    r.state = s;
    r.lo = -HUGE_VAL;
    r.hi = HUGE_VAL;
    return r;
}

// The worse of two states: nowhere real over all, then unknown.
bool settled(const Box& a, const Box& b, Box& out)
{
    if (a.state == Box::nowhere || b.state == Box::nowhere) {
        out = state_of(Box::nowhere);
        return true;
    }
    if (a.state == Box::unknown || b.state == Box::unknown) {
        out = state_of(Box::unknown);
        return true;
    }
    return false;
}

Box multiply_box(const Box& a, const Box& b)
{
    Box r;
    if (settled(a, b, r))
        return r;
    const double p[4] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    for (double v : p) {
        if (std::isnan(v)) // 0 * inf: anything
            return make(-HUGE_VAL, HUGE_VAL);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return make(lo, hi);
}

// b^k for a whole k >= 1: even powers are never negative.
Box power_box(const Box& b, int k)
{
    if (b.state != Box::real)
        return b;
    Box r = b;
    for (int j = 1; j < k; ++j)
        r = multiply_box(r, b);
    if (k % 2 == 0 && r.lo < 0.0) {
        const double m = std::max(std::fabs(b.lo), std::fabs(b.hi));
        const bool straddles = b.lo <= 0.0 && b.hi >= 0.0;
        double low = std::min(std::fabs(b.lo), std::fabs(b.hi));
        if (straddles)
            low = 0.0;
        r = make(std::pow(low, k), std::pow(m, k));
        r.lo = std::max(r.lo, 0.0);
    }
    return r;
}

// Monotone on its domain.
template <class F>
Box rising(const Box& a, F f)
{
    return make(f(a.lo), f(a.hi));
}

// A result keeps the kinks of what it was made of.
Box with_kinks(Box r, const Box& a, const Box& b = Box{})
{
    r.kink = r.kink || a.kink || b.kink;
    return r;
}

bool holds_zero(const Box& a) { return a.lo <= 0.0 && a.hi >= 0.0; }

// sin or cos over a box: the values at its ends, and 1 or -1 where a
// crest or a trough may lie inside. Far out, where a double's pi no longer
// tells where they lie, all of [-1, 1].
Box wave(const Box& a, bool sine)
{
    if (!(std::fabs(a.lo) < 1e6 && std::fabs(a.hi) < 1e6))
        return make(-1.0, 1.0);
    const double pi = 3.141592653589793;
    const double crests_from = sine ? pi / 2 : 0.0; // then every pi, crest and trough in turn
    const double first = std::ceil((a.lo - crests_from) / pi - 1e-9);
    const double last = std::floor((a.hi - crests_from) / pi + 1e-9);
    double lo = sine ? std::sin(a.lo) : std::cos(a.lo);
    double hi = lo;
    const double other = sine ? std::sin(a.hi) : std::cos(a.hi);
    lo = std::min(lo, other);
    hi = std::max(hi, other);
    for (double k = first; k <= last && k <= first + 1; ++k) {
        if (std::fmod(std::fabs(k), 2.0) == 0.0)
            hi = 1.0;
        else
            lo = -1.0;
    }
    return make(std::max(lo, -1.0), std::min(hi, 1.0));
}

struct BoxArithmetic {
    using Value = Box;
    const std::vector<Box>* numbers;
    const Expression* ex;
    // Each function's values as narrow as they are, not only where it is
    // real: for the search for steep places.
    bool tight = false;

    Box number(const Node& n) const { return (*numbers)[static_cast<std::size_t>(&n - ex->nodes.data())]; }
    Box pi() const { return make(3.141592653589793, 3.1415926535897936); }
    Box e() const { return make(2.718281828459045, 2.7182818284590455); }
    Box negate(const Box& a) const
    {
        if (a.state != Box::real)
            return a;
        return with_kinks(make(-a.hi, -a.lo), a);
    }
    Box add(const Box& a, const Box& b) const
    {
        Box r;
        if (settled(a, b, r))
            return r;
        return with_kinks(make(a.lo + b.lo, a.hi + b.hi), a, b);
    }
    Box subtract(const Box& a, const Box& b) const { return add(a, negate(b)); }
    Box times(const Box& v, const Box& f, int k) const { return with_kinks(multiply_box(v, power_box(f, k)), v, f); }
    Box repeated(const Box& f, int k) const { return with_kinks(power_box(f, k), f); }
    Box divide(const Box& a, const Box& b) const
    {
        Box r;
        if (settled(a, b, r))
            return r;
        if (holds_zero(b))
            return state_of(Box::unknown); // a pole, or 0/0
        return with_kinks(multiply_box(a, make(1.0 / b.hi, 1.0 / b.lo)), a, b);
    }
    Box power(const Box& a, const Box& b) const
    {
        Box r;
        if (settled(a, b, r))
            return r;
        const bool whole = b.lo == b.hi || (below(std::floor(b.hi)) <= b.lo && std::floor(b.hi) == std::ceil(b.lo));
        if (a.lo > 0.0) { // exp(b log a)
            const double ends[4] = {std::pow(a.lo, b.lo), std::pow(a.lo, b.hi), std::pow(a.hi, b.lo), std::pow(a.hi, b.hi)};
            return with_kinks(make(*std::min_element(ends, ends + 4), *std::max_element(ends, ends + 4)), a, b);
        }
        if (a.hi < 0.0 && !whole && b.hi - b.lo < 1.0 && std::floor(b.lo) == std::floor(b.hi))
            return state_of(Box::nowhere); // a negative number to a power no whole number reaches
        return state_of(Box::unknown);
    }
    Box call(Function fn, const Box& a) const
    {
        if (a.state != Box::real)
            return a;
        Box r = value_of_call(fn, a);
        r.kink = r.kink || a.kink;
        const bool rough = fn == Function::abs || fn == Function::sqrt || fn == Function::cbrt;
        if (r.state == Box::real && rough && holds_zero(a))
            r.kink = true;
        return r;
    }

    Box value_of_call(Function fn, const Box& a) const
    {
        if (tight) {
            switch (fn) {
            case Function::sin:
            case Function::cos:
                return wave(a, fn == Function::sin);
            case Function::abs:
                if (!holds_zero(a))
                    return make(std::min(std::fabs(a.lo), std::fabs(a.hi)), std::max(std::fabs(a.lo), std::fabs(a.hi)));
                break;
            case Function::tanh:
                return rising(a, [](double v) { return std::tanh(v); });
            case Function::atan:
                return rising(a, [](double v) { return std::atan(v); });
            case Function::asin:
                if (a.lo >= -1.0 && a.hi <= 1.0)
                    return rising(a, [](double v) { return std::asin(v); });
                break;
            case Function::acos:
                if (a.lo >= -1.0 && a.hi <= 1.0)
                    return rising(a, [](double v) { return std::acos(v); });
                break;
            default:
                break;
            }
        }
        switch (fn) {
        case Function::sqrt:
            if (a.hi < 0.0)
                return state_of(Box::nowhere);
            if (a.lo < 0.0)
                return state_of(Box::unknown);
            return rising(a, [](double v) { return std::sqrt(v); });
        case Function::log:
        case Function::log10:
            if (a.hi <= 0.0)
                return state_of(Box::nowhere);
            if (a.lo <= 0.0)
                return state_of(Box::unknown);
            if (fn == Function::log)
                return rising(a, [](double v) { return std::log(v); });
            return rising(a, [](double v) { return std::log10(v); });
        case Function::asin:
        case Function::acos:
            if (a.hi < -1.0 || a.lo > 1.0)
                return state_of(Box::nowhere);
            if (a.lo < -1.0 || a.hi > 1.0)
                return state_of(Box::unknown);
            return make(-4.0, 4.0);
        case Function::exp:
            return rising(a, [](double v) { return std::exp(v); });
        case Function::sinh:
            return rising(a, [](double v) { return std::sinh(v); });
        case Function::tanh:
            return make(-1.0, 1.0);
        case Function::atan:
            return make(-1.6, 1.6);
        case Function::cbrt:
            return rising(a, [](double v) { return std::cbrt(v); });
        case Function::cosh:
            return make(1.0, std::max(std::cosh(a.lo), std::cosh(a.hi)));
        case Function::abs:
            return make(0.0, std::max(std::fabs(a.lo), std::fabs(a.hi)));
        case Function::sin:
        case Function::cos:
            return make(-1.0, 1.0);
        case Function::tan: {
            // Real unless a multiple of pi/2 that is odd lies in the box.
            const double k0 = std::floor(a.lo / 1.5707963267948966);
            const double k1 = std::floor(a.hi / 1.5707963267948966);
            if (!std::isfinite(k0) || !std::isfinite(k1) || k1 - k0 > 1.0 || std::fabs(a.hi) > 1e15)
                return state_of(Box::unknown);
            if (k0 != k1 || std::fabs(std::cos(a.lo)) < 1e-9 || std::fabs(std::cos(a.hi)) < 1e-9)
                return state_of(Box::unknown);
            return make(std::tan(a.lo), std::tan(a.hi));
        }
        }
        return state_of(Box::unknown);
    }
};

Box box_of_number(const Node& n)
{
    if (!std::isfinite(n.value))
        return state_of(Box::unknown);
    return make(n.value, n.value); // widened: the decimal typed lies within an ulp
}

// The most boxes the domain looks at, and how small they get.
constexpr int most_boxes = 6000;
constexpr int deepest = 60;

} // namespace

namespace {

// Each number of the expression as a box that holds the decimal typed.
std::vector<Box> boxes_of_numbers(const Expression& e)
{
    std::vector<Box> numbers(e.nodes.size());
    for (std::size_t k = 0; k < e.nodes.size(); ++k)
        if (e.nodes[k].kind == Kind::number)
            numbers[k] = box_of_number(e.nodes[k]);
    return numbers;
}

} // namespace

Domain domain_on(const Expression& e, double lo, double hi)
{
    Domain d;
    const std::vector<Box> numbers = boxes_of_numbers(e);
    const BoxArithmetic arith{&numbers, &e};
    const FineFunction f(e);
    // Points first: one where the function is no real number settles it.
    // Inside only: at an end, a value that is no number may be a limit
    // (sin(1/x) at 0) rather than a function that is no real number.
    // A value that is no number there is a witness where a small box around
    // the point is nowhere real (sqrt(x) at -0.5), not where the function is
    // only undefined at it (sin(x)/x at 0).
    std::vector<Box> values;
    for (int k = 1; k < 64; ++k) {
        const double x = lo + (hi / 2 - lo / 2) * (2.0 * k) / 64;
        if (!(x > lo && x < hi) || !isnan(f(Fine(x))))
            continue;
        Box near;
        near.lo = below(x);
        near.hi = above(x);
        if (evaluate(e, near, arith, values).state == Box::nowhere) {
            d.kind = Domain::not_real;
            d.witness = x;
            return d;
        }
    }
    std::vector<std::pair<double, double>> stack = {{lo, hi}};
    std::vector<std::pair<double, double>> open; // not proven either way
    std::vector<int> depth = {0};
    int looked = 0;
    while (!stack.empty()) {
        const auto [l, h] = stack.back();
        const int level = depth.back();
        stack.pop_back();
        depth.pop_back();
        ++looked;
        Box x;
        x.lo = l;
        x.hi = h;
        const Box v = evaluate(e, x, arith, values);
        if (v.state == Box::real && !v.kink)
            continue;
        const double m = l + (h / 2 - l / 2);
        if (v.state == Box::nowhere && isnan(f(Fine(m)))) {
            d.kind = Domain::not_real;
            d.witness = m;
            return d;
        }
        if (level >= deepest || looked + 2 * static_cast<int>(stack.size()) > most_boxes || !(l < m && m < h)) {
            open.emplace_back(l, h);
            continue;
        }
        stack.emplace_back(m, h);
        depth.push_back(level + 1);
        stack.emplace_back(l, m);
        depth.push_back(level + 1);
    }
    // What could not be proven: at the ends the quadrature never evaluates
    // (a singularity such as 1/sqrt(x) at 0), inside a cut it ends at.
    std::sort(open.begin(), open.end());
    d.kind = Domain::real;
    for (std::size_t k = 0; k < open.size(); ++k) {
        const auto [l, h] = open[k];
        if (l <= lo || h >= hi)
            continue;
        // A round point where there is one: most functions misbehave at 0.
        double cut = l + (h / 2 - l / 2);
        if (l <= 0.0 && h >= 0.0)
            cut = 0.0;
        if (d.cuts.empty() || cut - d.cuts.back() > (hi - lo) * 1e-9)
            d.cuts.push_back(cut);
    }
    if (d.cuts.size() > 16)
        d.kind = Domain::unknown;
    return d;
}

namespace {

// One estimate: tanh-sinh on each piece. False where it did not converge or
// met a value that is no number.
struct Estimate {
    bool ok = false;
    Fine value = 0;
    Fine error = 0;
    Fine norm = 0; // the integral of |f|
};

Estimate pieces(const FineFunction& f, const std::vector<Fine>& ends)
{
    static boost::math::quadrature::tanh_sinh<Fine> quadrature(12);
    Estimate total;
    total.ok = true;
    const Fine tolerance = Fine("1e-40");
    for (std::size_t k = 0; k + 1 < ends.size(); ++k) {
        Fine error = 0;
        Fine norm = 0;
        std::size_t levels = 0;
        try {
            if (ends[k] == ends[k + 1])
                continue;
            const Fine v = quadrature.integrate(f, ends[k], ends[k + 1], tolerance, &error, &norm, &levels);
            if (!isfinite(v) || !isfinite(error))
                return Estimate{};
            // tanh-sinh tells its error on [-1, 1], before it scales to the piece
            total.value += v;
            total.error += error * abs(ends[k + 1] - ends[k]) / 2;
            total.norm += norm;
        } catch (const std::exception&) {
            return Estimate{};
        }
    }
    return total;
}

// What the integral over [lo, hi] is proven to lie within: the sum over
// boxes of each one's width times the values it holds. A peak between the
// points of both estimates, on nothing, or one too wide for the search
// below, lies outside the value they agree on and is caught here. The
// boxes that could hold most are cut in two first, within a fixed budget.
struct Enclosure {
    double lo = -HUGE_VAL;
    double hi = HUGE_VAL;
};

// A piece of [lo, hi] and the values interval arithmetic gives it there,
// each function as narrow as it is (the searches below).
struct Slice {
    double l;
    double h;
    Box v;
    int depth;
    double range() const { return v.hi - v.lo; }
    // How much of the integral's enclosure it holds; unbounded first.
    double span() const
    {
        if (v.state != Box::real || !std::isfinite(v.lo) || !std::isfinite(v.hi))
            return HUGE_VAL;
        return (h - l) * range();
    }
};

// The slices of one expression.
class Slicer {
  public:
    explicit Slicer(const Expression& e) : e_(e), numbers_(boxes_of_numbers(e)), arith_{&numbers_, &e, true} {}
    Slice operator()(double l, double h, int depth)
    {
        Box x;
        x.lo = l;
        x.hi = h;
        return Slice{l, h, evaluate(e_, x, arith_, values_), depth};
    }

  private:
    const Expression& e_;
    std::vector<Box> numbers_;
    BoxArithmetic arith_;
    std::vector<Box> values_;
};

// Where a slice is halved; false where no double lies inside it.
bool halved(const Slice& s, double& m)
{
    m = s.l + (s.h / 2 - s.l / 2);
    return s.l < m && m < s.h;
}

constexpr int enclosure_boxes = 4000;

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): from lo to hi
Enclosure enclosure_of(const Expression& e, double lo, double hi)
{
    Slicer slice(e);
    const auto wider = [](const Slice& a, const Slice& b) { return a.span() < b.span(); };
    std::priority_queue<Slice, std::vector<Slice>, decltype(wider)> queue(wider);
    std::vector<Slice> done;
    queue.push(slice(lo, hi, 0));
    for (int looked = 1; !queue.empty();) {
        const Slice s = queue.top();
        queue.pop();
        double m = 0.0;
        // An unbounded box (a pole) is cut less deep: it stays unbounded.
        const int deepest_here = std::isinf(s.span()) ? 30 : 60;
        if (looked + 2 > enclosure_boxes || s.depth >= deepest_here || s.span() == 0.0 || !halved(s, m)) {
            done.push_back(s);
            continue;
        }
        queue.push(slice(s.l, m, s.depth + 1));
        queue.push(slice(m, s.h, s.depth + 1));
        looked += 2;
    }
    Enclosure r{0.0, 0.0};
    for (const Slice& s : done) {
        if (s.v.state != Box::real)
            return Enclosure{};
        const double wide = above(s.h - s.l);
        const double narrow = std::max(0.0, below(s.h - s.l));
        r.lo = below(r.lo + below(s.v.lo * (s.v.lo >= 0.0 ? narrow : wide)));
        r.hi = above(r.hi + above(s.v.hi * (s.v.hi >= 0.0 ? wide : narrow)));
    }
    if (std::isnan(r.lo))
        r.lo = -HUGE_VAL;
    if (std::isnan(r.hi))
        r.hi = HUGE_VAL;
    return r;
}

// Whether somewhere inside [lo, hi], away from its ends and cuts (where the
// quadrature ends and copes), the function changes by a noticeable part of
// its size within a box too narrow for any quadrature's points to tell
// apart: a peak or a step between them, which both estimates may miss
// alike (1 + exp(-1e30(x-0.37)^2)). Boxes holding the widest ranges are cut
// first; a box's range only narrows as it is cut, so one already narrow
// needs no look inside. Within a fixed budget: where it runs out, nothing
// was found.
constexpr int steepness_boxes = 20000;
constexpr int finest = 45; // a box 2^-45 of the interval: 3e-14 of [0, 1]

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): from lo to hi
bool too_steep_inside(const Expression& e, double lo, double hi, const std::vector<double>& cuts, double size)
{
    Slicer slice(e);
    // Below 2^-980 nothing a double holds is noticeable: the values of
    // exp(-1e10x^2) on [1, 2] are all far below the least double.
    const double noticeable = 0x1p-20 * std::max(size, 0x1p-960);
    // The widest range first, and of two alike the deeper: down to the
    // finest slices along a feature before any other.
    const auto wider = [](const Slice& a, const Slice& b) {
        if (a.range() != b.range())
            return a.range() < b.range();
        return a.depth < b.depth;
    };
    const auto holds_an_end = [&](const Slice& p) {
        if (p.l <= lo || p.h >= hi)
            return true;
        return std::any_of(cuts.begin(), cuts.end(), [&](double c) { return p.l <= c && c <= p.h; });
    };
    std::priority_queue<Slice, std::vector<Slice>, decltype(wider)> queue(wider);
    queue.push(slice(lo, hi, 0));
    for (int looked = 1; !queue.empty() && looked + 2 <= steepness_boxes;) {
        const Slice p = queue.top();
        queue.pop();
        if (p.v.state != Box::real || !(p.range() > noticeable))
            continue;
        if (p.depth >= finest) {
            const double magnitude = std::max({std::fabs(p.v.lo), std::fabs(p.v.hi), size, 0x1p-960});
            if (!holds_an_end(p) && p.range() > 0x1p-20 * magnitude)
                return true;
            continue;
        }
        double m = 0.0;
        if (!halved(p, m))
            continue;
        queue.push(slice(p.l, m, p.depth + 1));
        queue.push(slice(m, p.h, p.depth + 1));
        looked += 2;
    }
    return false;
}

} // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): from lo to hi
Reference reference_integral(const Expression& e, double lo, double hi, const std::vector<double>& cuts)
{
    const FineFunction f(e);
    std::vector<Fine> ends = {Fine(lo)};
    ends.insert(ends.end(), cuts.begin(), cuts.end());
    ends.emplace_back(hi);
    // The second estimate on other points: each piece cut again where no
    // abscissa of the first lies, at its golden section.
    std::vector<Fine> other = {ends.front()};
    const Fine golden = (3 - sqrt(Fine(5))) / 2;
    for (std::size_t k = 0; k + 1 < ends.size(); ++k) {
        other.push_back(ends[k] + (ends[k + 1] - ends[k]) * golden);
        other.push_back(ends[k + 1]);
    }
    const Estimate one = pieces(f, ends);
    const Estimate two = pieces(f, other);
    Reference r;
    if (!one.ok || !two.ok)
        return r;
    const Fine apart = abs(one.value - two.value);
    const Fine bound = 4 * (apart + one.error + two.error) + Fine("1e-48") * one.norm;
    // Far beyond the printed digits, or not at all.
    if (!(bound <= Fine("1e-24") * (one.norm + Fine("1e-300"))))
        return r;
    const Enclosure proven = enclosure_of(e, lo, hi);
    const double size = static_cast<double>(one.norm / (Fine(hi) - Fine(lo)));
    if (Fine(proven.lo) > one.value + bound || Fine(proven.hi) < one.value - bound ||
        too_steep_inside(e, lo, hi, cuts, size)) {
        r.refuted = true;
        return r;
    }
    r.found = true;
    r.value = one.value;
    r.bound = bound;
    // Never an error bound of 0, which would claim the value exact, and no
    // value so small that its exact form would take gigabytes (exp(-1e9)):
    // both far below any digit shown.
    const Fine least = ldexp(Fine(1), -16000);
    if (abs(r.value) < least) {
        r.bound += abs(r.value);
        r.value = 0;
    }
    if (r.bound < least)
        r.bound = least;
    return r;
}

} // namespace expr
