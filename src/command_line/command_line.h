// The program with arguments: one run per rule for scripts, the exact
// integral and each result's exact error, and a table of how the error
// falls as n doubles, for people or as CSV. The texts are Slovak.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Runs the arguments after the program's name and returns the exit status:
// 0, 1 when standard output could not be written, 2 for a usage error.
int run_command_line(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
