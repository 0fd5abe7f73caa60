// The console dialogue: integrand menu, values a b n, rule menu, runs.
//
// Everything goes through the streams it is given, so tests and the fuzzer
// drive the whole program in-process; main() passes the standard streams and
// the results file.
#pragma once

#include <cstdio>

#include "../results_log/results_log.h"

// Runs the dialogue until w at the integrand menu or the end of `in`, and
// returns the exit status: 0, or 1 when writing `out` failed (said once on
// `err`).
int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err, ResultsLog& res);

// Standard input as the dialogue reads it: one character at a time, with
// room to give back what a malformed number turned out not to use.
struct ConsoleInput {
    std::FILE* in;
    std::FILE* out;             // flushed before every read, so prompts show over a pipe
    std::FILE* err;             // where a failed write on `out` is reported
    char back[80] = {};         // characters given back, the next one last
    int backed = 0;
    bool ended = false;
    bool output_failed = false; // reported once
};

// The next character as 0..255, or EOF at the end of input or on a read
// error (and for ever after).
int read_char(ConsoleInput& input);

// "%lf %lf %d" as the C library reads it, without locale: a field that does
// not convert keeps its old value, is left unread, and ends the read. n is
// clamped to the range of int. Memory stays bounded whatever the input: a
// number of any length converts as strtod would convert it.
void read_numbers(ConsoleInput& input, double& x0, double& xn, int& n);

// Flushes `out`; its first failure is reported on `err`.
void flush_output(ConsoleInput& input);

// A long run shown on a terminal: from `after_ms` into the run, one line on
// `to` (" Pocitam... 37 %") rewritten in place at most four times a second;
// erased before the result line, so the screen then reads as without it.
struct ProgressLine {
    std::FILE* to = nullptr;  // the terminal; nullptr shows nothing
    long long after_ms = 1000;
    long long start_ms = 0;   // of the run
    long long shown_ms = -1;  // when last rewritten; -1 never
    int width = 0;            // of the line on the screen
};

// A line on `err` where it is a terminal, else one that shows nothing.
ProgressLine progress_line_on(std::FILE* err);
// The rules' Progress for `line`, its clock started now.
Progress progress_on(ProgressLine& line);
void erase_progress(ProgressLine& line);

// Milliseconds of a steady wall clock, truncated.
long long clock_ms();
