// Double-double arithmetic: a value is the unevaluated sum hi + lo of two
// doubles, |lo| <= half an ulp of hi, about 106 bits. Every step relies on
// each operation being rounded to double on its own: the build keeps
// -ffp-contract=off, and no fused multiply-add is called (std::fma is a slow
// library call on plain x86-64), so exact products come from Veltkamp's
// splitting and Dekker's product.
#pragma once

#include <cmath>

namespace dd {

struct DD {
    double hi;
    double lo;
};

// a + b exactly, when |a| >= |b| or a is 0.
inline DD quick_two_sum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// a + b exactly, whatever their sizes (Knuth).
inline DD two_sum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a = hi + lo with both halves of at most 26 bits, so that their products are
// exact. 2^27 * a overflows for |a| > 2^996; where a point or a polynomial
// value is that large, the program's own sum overflows too.
inline DD split(double a)
{
    const double c = 134217729.0 * a; // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// a * b exactly (Dekker), from the halves of a and b.
inline DD two_prod(double a, DD as, double b, DD bs)
{
    const double p = a * b;
    return {p, ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo};
}

inline DD two_prod(double a, double b) { return two_prod(a, split(a), b, split(b)); }

inline DD add(DD a, double b)
{
    const DD s = two_sum(a.hi, b);
    return quick_two_sum(s.hi, s.lo + a.lo);
}

// The accurate sum of two double-doubles: the low parts are added exactly too.
inline DD add(DD a, DD b)
{
    const DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    const DD u = quick_two_sum(s.hi, s.lo + t.hi);
    return quick_two_sum(u.hi, u.lo + t.lo);
}

inline DD mul(DD a, DD b)
{
    const DD p = two_prod(a.hi, b.hi);
    return quick_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline DD neg(DD a) { return {-a.hi, -a.lo}; }

// The same sums and Horner's step with what their roundings lose added to
// `lost`: a bound on the error that is 0 where every operation was exact,
// so that an exact result shows all its digits. two_sum throughout, as
// quick_two_sum is exact only where its first term is the larger.
inline DD add(DD a, double b, double& lost)
{
    const DD s = two_sum(a.hi, b);
    const DD t = two_sum(s.lo, a.lo);
    lost += std::fabs(t.lo);
    return two_sum(s.hi, t.hi);
}

inline DD add(DD a, DD b, double& lost)
{
    const DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    const DD v = two_sum(s.lo, t.hi);
    const DD u = two_sum(s.hi, v.hi);
    const DD w = two_sum(u.lo, t.lo);
    lost += std::fabs(v.lo) + std::fabs(w.lo);
    return two_sum(u.hi, w.hi);
}

// v * x + c, with x split once.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): v * x + c as the step reads
inline DD horner_step(DD v, double x, DD xs, DD c, double& lost)
{
    const DD p = two_prod(v.hi, split(v.hi), x, xs);
    const DD q = two_prod(v.lo, x);
    const DD r = two_sum(p.lo, q.hi);
    lost += std::fabs(q.lo) + std::fabs(r.lo);
    const DD s = two_sum(p.hi, r.hi);
    if (c.lo == 0.0) // a coefficient that is a double, as the built-ins' are
        return add(s, c.hi, lost);
    return add(s, c, lost);
}

// sqrt(a) with one Newton correction; a negative a gives NaN. The divisor
// 2s + 2^-1074 is 2s exactly where s > 0 and keeps 0 at 0 without a branch,
// so that a loop over several values may run in vector registers.
inline DD sqrt(DD a)
{
    const double s = std::sqrt(a.hi);
    const DD p = two_prod(s, s);
    return quick_two_sum(s, (((a.hi - p.hi) - p.lo) + a.lo) / (2.0 * s + 0x1p-1074));
}

} // namespace dd
