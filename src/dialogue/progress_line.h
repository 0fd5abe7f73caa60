// A long run shown on a terminal: from `after_ms` into the run, one line on
// standard error (" Pocitam... 37 %") rewritten in place at most four times
// a second, and erased before the result line, so that the screen then reads
// as without it.
#pragma once

#include <cstdio>

#include "quadrature.h"

struct ProgressLine {
    std::FILE* to = nullptr;  // the terminal; nullptr shows nothing
    long long after_ms = 1000;
    long long start_ms = 0;   // of the run
    long long shown_ms = -1;  // when last rewritten; -1 never
    int width = 0;            // of the line on the screen
    int percent = -1;         // on the screen
};

// A line on `err` where it is a terminal, else one that shows nothing.
ProgressLine progress_line_on(std::FILE* err);
// From how far into a run lines show (1000 ms unless said otherwise): a
// build for the tests shows them sooner, so that a short run shows them.
void show_progress_after(long long ms);
// The rules' Progress for `line`, its clock started now.
Progress progress_on(ProgressLine& line);
void erase_progress(ProgressLine& line);

// Milliseconds of a steady wall clock, truncated.
long long clock_ms();
