// The composite rules as plainly as they read: the integrand called
// through its pointer at every point, the values added one after another in
// index order. They fix every result to the last bit; the engine behind
// integrate() must give the same, only faster.
//
// Each point is recomputed from its index (rule_points.h), never
// accumulated, and nothing may reassociate the sum.
#pragma once

#include "integrands.h"
#include "rule_points.h"

// Left endpoints. With a > b the points run from a down, so these are the
// right ends of the subintervals of [b, a]: not the swapped result negated.
inline double rectangle_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = step(a, b, n);
    for (int i = 0; i < n; i++)
        sum = f(point(i, h, a)) + sum;
    return rectangle_result(sum, h);
}

// Inner points doubled; f(a), then f(b), evaluated after the loop at a and b
// themselves (n * h + a can differ from b in the last bit).
inline double trapezoid_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = step(a, b, n);
    for (int i = 1; i < n; i++)
        sum = doubled(f(point(i, h, a))) + sum;
    const double fa = f(a);
    const double fb = f(b);
    return trapezoid_result(fa, sum, fb, h);
}

// One panel per pair of subintervals; a negative n runs no panel. The point
// two panels share is evaluated twice, at abscissae that may differ in the
// last bit.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const long long m = simpson_subintervals(n);
    const double h = step(a, b, m);
    for (long long i = 0; i < m - 1; i += 2) {
        const double x = point((double)i, h, a);
        const double y0 = f(x);
        const double y1 = f(panel_middle(x, h));
        const double y2 = f(panel_end(x, h));
        sum = simpson_panel(y0, y1, y2) + sum;
    }
    return simpson_result(sum, h);
}

// Middles of the subintervals, (i + 1/2) * h + a for i = 0, ..., n-1.
inline double midpoint_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = step(a, b, n);
    for (int i = 0; i < n; i++)
        sum = f(middle_point(i, h, a)) + sum;
    return rectangle_result(sum, h);
}

// Right ends: i * h + a for i = 1, ..., n-1, then b itself, the right end
// of the last subinterval (n * h + a can differ from b in the last bit).
inline double right_rectangle_rule(double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    const double h = step(a, b, n);
    for (int i = 1; i < n; i++)
        sum = f(point(i, h, a)) + sum;
    if (n >= 1)
        sum = f(b) + sum;
    return rectangle_result(sum, h);
}
