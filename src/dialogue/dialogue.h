// The console dialogue: integrand menu, values a b n, rule menu, runs.
//
// Everything goes through the streams it is given, so that tests and the
// fuzzer drive the whole program in-process; main() passes the standard
// streams and the results file.
#pragma once

#include <cstdio>

#include "progress_line.h"
#include "results_log.h"

// Runs the dialogue until w at the integrand menu or the end of `in`, and
// returns the exit status: 0, or 1 when writing `out` or reading `in`
// failed (told on `err`).
int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err, ResultsLog& res);

// One run as the dialogue makes it: the rule timed alone, its progress line
// erased, then its record appended (before the caller shows the result: a
// program killed between the two keeps a record of a result it did not
// show, never shows one it keeps no record of). `problem` is the record's.
double run_and_record(const RuleEntry& rule, const IntegrandEntry& fn, double x0, double xn, int n, ResultsLog& res,
                      ProgressLine& progress, LogProblem& problem);

// Tells on `err` why records are not written, if they are not.
void tell_log_problem(std::FILE* err, const LogProblem& problem);
