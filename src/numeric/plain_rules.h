// The three composite rules as plainly as they read: the integrand called
// through its pointer at every point, the values added one after another in
// index order. They fix every result to the last bit; the engine behind
// integrate() must give the same, only faster.
//
// Each point is recomputed from its index as (double)i * h + a, never
// accumulated, and nothing may reassociate the sum.
#pragma once

#include "integrands.h"

// Left endpoints. With a > b the points run from a down, so these are the
// right ends of the subintervals of [b, a]: not the swapped result negated.
inline double rectangle_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = (b - a) / (double)n;
    for (int i = 0; i < n; i++)
        sum = f((double)i * h + a) + sum;
    return sum * h;
}

// Inner points doubled; f(a), then f(b), evaluated after the loop at a and b
// themselves (n * h + a can differ from b in the last bit).
inline double trapezoid_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = (b - a) / (double)n;
    for (int i = 1; i < n; i++)
        sum = f((double)i * h + a) * 2.0 + sum;
    const double fa = f(a);
    const double fb = f(b);
    const double t = fa + sum;
    return ((t + fb) * h) / 2.0;
}

// One panel per pair of subintervals. A positive odd n is raised by one, in a
// wide count so that INT_MAX becomes 2^31; a negative n runs no panel. The
// point two panels share is evaluated twice, at abscissae that may differ in
// the last bit.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const long long m = n % 2 == 1 ? (long long)n + 1 : n;
    const double h = (b - a) / (double)m;
    for (long long i = 0; i < m - 1; i += 2) {
        const double x = (double)i * h + a;
        const double y0 = f(x);
        const double y1 = f(x + h);
        const double t = y0 + y1 * 4.0;
        const double y2 = f(2.0 * h + x);
        sum = (t + y2) + sum;
    }
    return (sum * h) / 3.0;
}
