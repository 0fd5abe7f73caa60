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
// limit, a full disk) is reported once and kills nothing, a record cut short
// is cut back out of the file, and SIGINT, SIGTERM and SIGHUP wait until a
// record is written whole.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>

#include "../numeric/quadrature.h"

struct RunRecord {
    std::time_t cas;   // calendar time when the rule finished
    double duration;   // seconds, whole milliseconds
    char label;        // of the integrand: 1..9, 0 or A
    double x0, xn;     // a and b
    int n;             // as read, not as raised by Simpson's rule
    Rule rule;
    double result;
};

struct ResultsLog {
    int fd = -1;                 // -1: not open, records are dropped
    std::FILE* file = nullptr;   // the stream behind fd, where the platform opens one
    std::FILE* err = nullptr;    // where failures are reported
    bool write_failed = false;   // the write warning is given once
};

inline constexpr const char results_file_name[] = "vysledky.txt";

// Opens `path` for appending (created when missing, content kept). On
// failure, or when it is the program's standard input or output, says so
// once on `err` and returns a log that drops its records.
ResultsLog open_results_log(const char* path = results_file_name, std::FILE* err = stderr);

// Formats the record and hands it to the system in one write; the first
// failed write is reported on the log's error stream.
void append_record(ResultsLog& res, const RunRecord& record);

void close_results_log(ResultsLog& res);

// A record as it stands in the file, `local` being the breakdown of its
// `cas`. Any record fits in record_capacity bytes: a, b and the result can
// each have 309 integer digits.
constexpr std::size_t record_capacity = 2048;
std::size_t format_record(char (&buf)[record_capacity], const RunRecord& record, const std::tm& local);

// The warnings: `format` with its one %s as `reason`, on `err` at once (if any).
void warn(std::FILE* err, const char* format, const char* reason);
// The system's words for an errno value.
const char* system_reason(int error);
