// One run as the results file keeps it: five lines of plain ASCII whose
// layout users and their scripts read, so it never changes.
#pragma once

#include <cstddef>
#include <ctime>

#include "rules.h"

struct RunRecord {
    std::time_t cas;   // calendar time when the rule finished
    double duration;   // seconds, whole milliseconds
    char label;        // of the integrand: 1..9, 0 or A
    double x0, xn;     // a and b
    int n;             // as read, not as raised by Simpson's rule
    Rule rule;
    double result;
};

// Any record fits: a, b and the result can each have 309 integer digits.
constexpr std::size_t record_capacity = 2048;

// The record as it stands in the file, `local` being the breakdown of its
// `cas` in local time; returns its length.
std::size_t format_record(char (&buf)[record_capacity], const RunRecord& record, const std::tm& local);
