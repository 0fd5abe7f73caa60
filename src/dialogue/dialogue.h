// The console dialogue: integrand menu, values a b n, rule menu, runs.
//
// Everything goes through the streams it is given, so that tests and the
// fuzzer drive the whole program in-process; main() passes the standard
// streams and the results file.
#pragma once

#include <cstdio>

#include "results_log.h"

// Runs the dialogue until w at the integrand menu or the end of `in`, and
// returns the exit status: 0, or 1 when writing `out` or reading `in`
// failed (told on `err`).
int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err, ResultsLog& res);

// Tells on `err` why records are not written, if they are not.
void tell_log_problem(std::FILE* err, const LogProblem& problem);
