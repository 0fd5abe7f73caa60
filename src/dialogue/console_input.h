// Standard input as the dialogue reads it: one character at a time, with
// room to give back what a number turned out not to use; standard output
// flushed before every read, so that each prompt shows before the program
// waits, over a pipe too.
#pragma once

#include <cstdio>

struct ConsoleInput {
    std::FILE* in;
    std::FILE* out;             // flushed before every read
    std::FILE* err;             // where a failed write on `out` is told
    char back[80] = {};         // characters given back, the next one last
    int backed = 0;
    bool ended = false;
    bool input_failed = false;  // a read error, not the end: told
    bool output_failed = false; // told once
};

// The next character as 0..255, or EOF at the end of input or on a read
// error, and for ever after. A read error (other than "not yet") is told on
// `err`.
int read_char(ConsoleInput& input);

// a, b and n as "%lf %lf %d" reads them (see number_reader.h): a field that
// does not convert keeps its old value, is left unread, and ends the read.
void read_numbers(ConsoleInput& input, double& x0, double& xn, int& n);

// Flushes `out`; its first failure is told on `err`.
void flush_output(ConsoleInput& input);

// `format` with its one %s as `reason`, on `err` at once (if there is one).
void warn(std::FILE* err, const char* format, const char* reason);
