#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogue.h"

namespace fs = std::filesystem;

// The exact bits of a double, so that a NaN, a signed zero and the last bit count.
inline std::uint64_t bits(double v) { std::uint64_t u; std::memcpy(&u, &v, sizeof u); return u; }

// The cases in tests/cases/<name>: one a line, fields split at '|', with the
// escapes \n, \t and \xff; '#' lines are comments.
std::vector<std::vector<std::string>> load_cases(const std::string& name);
std::string read_file(const fs::path& p);
std::string read_text(const fs::path& p); // line ends as LF, also where text files use CR LF
void write_file(const fs::path& p, const std::string& text);
fs::path fresh_folder(); // empty, of this test's own
std::string masked(const std::string& file); // each record's time and duration lines as #
std::string expand_output(const std::string& tokens); // M V R S:value ... as texts.txt gives them

// Runs every case of dialogue.txt: `run(folder)` runs the dialogue in that
// folder on in.txt, writing out.txt and err.txt, and returns its status.
void check_dialogue_cases(const std::function<int(const fs::path&)>& run);
