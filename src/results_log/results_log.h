// The results file: every run of a rule appends one five-line record to
// "vysledky.txt" in the working folder, across all starts of the program.
//
// A record reaches the system in one write on a file opened for appending,
// before the dialogue reads its next key: a killed program loses no finished
// run, and copies appending at once never tear each other's records. The
// file is only ever appended to; the program never reads it.
//
// Whatever the file turns out to be, it costs the dialogue nothing: opening
// never blocks (a FIFO without a reader), the file is never the program's own
// standard input or output, a write that fails (a reader gone, the size
// limit, a full disk) kills nothing, a record cut short is cut back out of
// the file, and SIGINT, SIGTERM and SIGHUP wait until a record is written
// whole. What goes wrong is handed back to the caller to tell.
#pragma once

#include "log_file.h"
#include "record.h"

inline constexpr const char results_file_name[] = "vysledky.txt";

struct LogProblem {
    enum Kind { none, cannot_open, own_input, own_output, own_error, write_failed } kind = none;
    int error = 0; // errno value, for cannot_open and write_failed
};

struct ResultsLog {
    LogFile file;              // not open: records are dropped
    bool write_failed = false; // a failed write is handed back once
};

// Opens `path` for appending. When it cannot be, or is the program's own
// standard input or output, `problem` says why and the log drops its records.
ResultsLog open_results_log(const char* path, LogProblem& problem);

// Formats the record and hands it to the file in one write. Returns the first
// failure only: it is told once, and later records are still tried.
LogProblem append_record(ResultsLog& res, const RunRecord& record);

void close_results_log(ResultsLog& res);
