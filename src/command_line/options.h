// The command line: short and GNU long options, "--" ends them, and any
// argument that is one whole number is a positional argument, never an
// option (so that -.5 and -inf are numbers). Written by hand rather than with
// a parsing library: every text must be the program's own Slovak, and
// libraries take -.5, -inf and -nan for clusters of short options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "expression.h"
#include "integrands.h"
#include "program.h"
#include "rules.h"

// A function typed with -f: its tree, its program, and its entry.
struct TypedFunction {
    std::string text; // as typed, without the spaces around it
    expr::Expression tree;
    std::unique_ptr<expr::Program> program;
    IntegrandEntry entry;
};

struct Options {
    const IntegrandEntry* f = nullptr;          // a built-in's, or typed->entry
    std::shared_ptr<TypedFunction> typed;       // -f FUNKCIA
    bool function_given = false;
    double a = 0.0;
    double b = 0.0;
    int n = 0;
    std::vector<Rule> rules;     // in the order given; a key twice runs twice
    bool exact = false;          // -e
    bool table = false;          // -t
    bool csv = false;            // with -t
    bool log = true;             // --no-log turns it off
    std::string svg;             // --svg FILE, empty for none
    bool help = false;           // -h: the usage, nothing else
    bool version = false;
};

enum class Parsed { run, help, version, usage_error };

// Reads the arguments after the program's name; on a usage error `error`
// says what is wrong, in one sentence.
Parsed parse_options(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char usage_text[];

// `arg` as a message quotes it: on one line, with no control character for
// a terminal to act on (written \n, \t, \r, \x1b), and cut short with "..."
// past `longest` characters.
std::string shown_argument(const std::string& arg, std::size_t longest);
