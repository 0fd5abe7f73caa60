#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "dialogue.h"

// A stream holding `text`, read from the start.
std::FILE* stream_of(const std::string& text);
// All that was written to `f`.
std::string contents(std::FILE* f);
std::string read_file(const std::filesystem::path& p);

// A fresh folder of its own under the system's temporary folder.
std::filesystem::path fresh_folder(const std::string& name);

struct Session {
    std::string out;  // standard output
    std::string err;  // standard error
    int status;
};

// The whole dialogue in-process on `input`, with its results file at `log`.
Session run_session(const std::string& input, const std::filesystem::path& log);

// The dialogue's texts, written out here on their own so that a changed space
// shows.
extern const std::string integrand_menu;
extern const std::string values_prompt;
extern const std::string rule_menu;
std::string simpson_line(const std::string& value);
std::string rectangle_line(const std::string& value);
std::string trapezoid_line(const std::string& value);
