#pragma once

#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "expression.h"
#include "integrands.h"
#include "program.h"

namespace fs = std::filesystem;

// The exact bits of a double, so that a NaN, a signed zero and the last bit count.
inline std::uint64_t bits(double v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// Table files in tests/cases. Both kinds take the escapes \n, \t, \r, \v, \f
// and \xff, and {N*text} for text N times; '#' lines are comments.
// Rows: one a line, fields split at '|'.
using Row = std::vector<std::string>;
std::vector<Row> load_rows(const std::string& file);
// Cases: "[name]", then "field: value" lines; a line that starts with two
// spaces continues the field above on a new line. Each case also has its
// "file".
using Case = std::map<std::string, std::string>;
std::vector<Case> load_cases(const std::string& file);
// `text` as a GoogleTest name: letters, digits and underscores.
std::string test_name(std::string text);
// Each case its own named test.
#define CASES_OF(prefix, suite, file)                                                                               \
    INSTANTIATE_TEST_SUITE_P(prefix, suite, testing::ValuesIn(load_cases(file)),                                    \
                             [](const testing::TestParamInfo<Case>& i) { return test_name(i.param.at("name")); })

std::string read_file(const fs::path& p);
std::string read_text(const fs::path& p); // line ends as LF, also where text files use CR LF
void write_file(const fs::path& p, const std::string& text);
// "M V R S:value ..." as the program's texts (texts.txt).
std::string expand_output(const std::string& tokens);
// "f5 0.00 2.00 10 s 8.400426666666670; ..." as records with their time and
// duration lines as #; "N*" before one repeats it N times, "*" any number of
// times but at least once, as `got` has it.
std::string expand_records(const std::string& records, const std::string& got);

// A folder of this test's own, unique to the run: two runs at once, or a
// run after a failed one, share nothing. Removed at the end when all passed.
fs::path fresh_folder();

// What the test saw of a run: calendar seconds at its start and its end,
// and its whole duration in milliseconds, rounded up.
struct Span {
    std::time_t first, last;
    long long ms;
};
Span measure(const std::function<void()>& run);

// The records appended in `span`, each checked: its timestamp the local time
// (the tests run in a zone 5:45 east of UTC) of a second within the span,
// after its duration; its duration within the span's. Returns them with
// those two lines as #, and their durations in `durations` where given.
std::string checked_records(const std::string& appended, const Span& span, std::vector<double>* durations = nullptr);

// Runs a case of keys (fields: keys, shown or out, records, before, stderr,
// status, log: none for no results file at all):
// `run(folder)` runs the program there on in.txt, writing out.txt and
// err.txt, and returns its status (77: it cannot run here, err.txt says why).
void check_dialogue_case(Case c, const std::function<int(const fs::path&)>& run);

// A function typed as the command line takes it: its tree, its program and
// its entry (the text must be an expression).
struct Typed {
    explicit Typed(const std::string& text);
    std::string text;
    expr::Expression tree;
    std::unique_ptr<expr::Program> program;
    IntegrandEntry entry;
};

// A built-in by its key, or a function typed as the key's text, kept for
// the whole run.
const IntegrandEntry& entry_of(const std::string& key);
