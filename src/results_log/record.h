// One run as the results file keeps it: five lines of plain ASCII whose
// layout users and their scripts read, so it never changes.
#pragma once

#include <ctime>
#include <string>

#include "rules.h"

struct RunRecord {
    std::time_t cas;      // calendar time when the rule finished
    double duration;      // seconds, whole milliseconds
    std::string function; // f1..f9, f0, fA, or a typed function as typed
    double x0, xn;        // a and b
    int n;                // as read, not as raised by Simpson's rule
    Rule rule;
    double result;
};

// The record as it stands in the file, `local` being the breakdown of its
// `cas` in local time.
std::string format_record(const RunRecord& record, const std::tm& local);
