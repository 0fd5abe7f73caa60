// The rules as plainly as they read: a loop that calls the integrand through
// a pointer at every point. The benchmark's baseline, and the tests'
// reference that the fast rules must match bit for bit.
#pragma once

#include "quadrature.h"

inline double straightforward(Rule rule, double a, double b, int n, Integrand f)
{
    double sum = 0.0;
    if (rule == Rule::simpson && n % 2 == 1)
        n = n + 1;
    const double h = (b - a) / (double)n;
    if (rule == Rule::rectangle)
        for (int i = 0; i < n; i++)
            sum = f((double)i * h + a) + sum;
    if (rule == Rule::trapezoid)
        for (int i = 1; i < n; i++)
            sum = f((double)i * h + a) * 2.0 + sum;
    if (rule == Rule::simpson)
        for (int i = 0; i < n - 1; i += 2) {
            const double x = (double)i * h + a;
            const double t = f(x) + f(x + h) * 4.0;
            sum = (t + f(2.0 * h + x)) + sum;
        }
    if (rule == Rule::trapezoid) {
        const double fa = f(a);
        return ((fa + sum) + f(b)) * h / 2.0;
    }
    return rule == Rule::simpson ? (sum * h) / 3.0 : sum * h;
}
