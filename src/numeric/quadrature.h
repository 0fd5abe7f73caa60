// A rule applied to an integrand: bit for bit what the plain rules give, as
// fast as the fixed order of the additions allows.
#pragma once

#include "rules.h"

// How far a long run is: told between chunks of points, never inside the
// chain of additions, so that a caller can show it without a thread, a timer
// or a signal. `report` may be null: nobody asked.
struct Progress {
    void (*report)(void* context, long long done, long long total) = nullptr;
    void* context = nullptr;
};

// The rule on the integrand of `e` over [a, b] in n subintervals. The
// catalogue's integrands run through an engine compiled with the integrand
// inlined and its values computed a block ahead; any other integrand runs
// the plain rule through its pointer, without progress.
double integrate(Rule rule, const IntegrandEntry& e, double a, double b, int n, Progress progress = {});

// The integrand at one point, as the rules evaluate it: a built-in's
// function, or a typed function's program.
double integrand_at(const IntegrandEntry& e, double x);
