// How the error of a rule falls as n doubles: for n = 2, 4, 8, ... up to N,
// the program's own result, its exact error, that error split into the
// rule's own part and the part rounding adds, the observed order
// log2(|e(n/2)| / |e(n)|), and Richardson's estimate of the error from two
// results alone, with the value it extrapolates to.
//
// The order means something only while the rule's own error dominates: in a
// fixed order of summation the rounding grows with n while the rule's error
// falls, and where rounding is more than a tenth of the rule's error the
// quotient of two errors says nothing about the rule. Such rows are at the
// level of rounding, and have no order.
#pragma once

#include <vector>

#include "exact.h"
#include "quadrature.h"

struct ConvergenceRow {
    int n = 0;
    double result = 0.0;
    Difference error;            // exists where the integral is real and the result a number
    Split split;                 // the rule's own error and the rounding
    bool rounding_level = false; // rounding more than a tenth of the rule's error
    bool has_order = false;   // both errors known, finite and not 0
    bool order_shown = false; // and neither row at the level of rounding
    double order = 0.0;
    // Richardson's, from this row's result and the one before, with p the
    // rule's order for smooth integrands: the error's estimate
    // (R(n/2) - R(n)) / (2^p - 1) and the extrapolated value R(n) - estimate,
    // each in double; from the second row on.
    bool has_estimate = false;
    double estimate = NAN;
    double extrapolated = NAN;
    Difference extrapolated_error;
};

struct Convergence {
    Rule rule;
    std::vector<ConvergenceRow> rows;
};

// The rows of each rule for n = 2, 4, ..., the powers of two up to `last`.
// Progress counts the points of the rules' runs.
std::vector<Convergence> convergence(const std::vector<Rule>& rules, const IntegrandEntry& e, double a, double b,
                                     int last, const Integral& integral, Progress progress);
