// Where each rule evaluates the integrand and how it joins the values: the
// one source of that arithmetic for the plain rules, the engine, the exact
// split and the pictures, which must all take the same points to the bit.
//
// A point is recomputed from its index as i * h + a, one multiplication and
// one addition, never accumulated; Simpson's panel takes its middle and end
// from its first point.
#pragma once

// The subinterval of n subintervals of [a, b].
inline double step(double a, double b, long long n) { return (b - a) / (double)n; }

// Point i: i * h + a.
inline double point(double i, double h, double a) { return i * h + a; }

// The middle of subinterval i: (i + 1/2) * h + a, i + 1/2 exact.
inline double middle_point(double i, double h, double a) { return point(i + 0.5, h, a); }

// Simpson's rule works on pairs of subintervals: a positive odd n is raised
// by one, in a wide count so that INT_MAX becomes 2^31; a negative n keeps
// its value.
inline long long simpson_subintervals(int n) { return n % 2 == 1 ? (long long)n + 1 : n; }

// A Simpson panel from its first point x: its middle x + h and its end
// 2h + x, which may differ in the last bit from the next panel's first.
inline double panel_middle(double x, double h) { return x + h; }
inline double panel_end(double x, double h) { return 2.0 * h + x; }

// The values of a Simpson panel joined: (y0 + 4 y1) + y2.
inline double simpson_panel(double y0, double y1, double y2)
{
    const double t = y0 + y1 * 4.0;
    return t + y2;
}

// The trapezoid rule's inner values count twice.
inline double doubled(double y) { return y * 2.0; }

// Each rule's sum of values to its result.
inline double rectangle_result(double sum, double h) { return sum * h; }
inline double simpson_result(double sum, double h) { return (sum * h) / 3.0; }
// The values at a and at b themselves, and the inner values' sum.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the values in the order they are added
inline double trapezoid_result(double fa, double inner, double fb, double h)
{
    const double t = fa + inner;
    return ((t + fb) * h) / 2.0;
}
