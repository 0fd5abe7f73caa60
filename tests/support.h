#pragma once

#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogue.h"

namespace fs = std::filesystem;

// The exact bits of a double, so that a NaN, a signed zero and the last bit count.
inline std::uint64_t bits(double v) { std::uint64_t u; std::memcpy(&u, &v, sizeof u); return u; }

// The rows of tests/cases/<name>, fields split at '|', with the escapes \n,
// \t, \r, \v, \f and \xff; '#' lines are comments.
using Case = std::vector<std::string>;
std::vector<Case> load_cases(const std::string& name);
std::string read_file(const fs::path& p);
std::string read_text(const fs::path& p); // line ends as LF, also where text files use CR LF
void write_file(const fs::path& p, const std::string& text);
std::string expand_output(const std::string& tokens); // M V R S:value ... as texts.txt gives them

// A folder of this test's own, unique to the run: two runs at once, or a
// run after a failed one, share nothing. Removed at the end when all passed.
fs::path fresh_folder();

// What the test saw of a run: calendar seconds at its start and its end,
// and its whole duration in milliseconds, rounded up.
struct Span { std::time_t first, last; long long ms; };
Span measure(const std::function<void()>& run);

// The records appended in `span`, each checked: its timestamp the local time
// (the tests run in a zone 5:45 east of UTC) of a second within the span,
// its duration within the span's. Returns them with those two lines as #,
// and their durations in `durations` where given.
std::string checked_records(const std::string& appended, const Span& span, std::vector<double>* durations = nullptr);

// Runs every row of tests/cases/<table> (name|keystrokes|standard
// output|results file after|results file before|standard error|exit
// status|...): `run(folder, row)` runs the dialogue in that folder on
// in.txt, writing out.txt and err.txt, and returns its status (77: the row
// cannot be run here, err.txt says why).
void check_dialogue_cases(const std::string& table, const std::function<int(const fs::path&, const Case&)>& run);
