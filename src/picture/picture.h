// The pictures of --svg, as SVG 1.1 text: one run's panels over the
// integrand, or a table's errors against n on log-log axes. Every word is
// Slovak in plain ASCII; the same input gives the same bytes on every system
// (for sqrt(sin x), as far as the math library's sin agrees).
#pragma once

#include <string>
#include <vector>

#include "convergence.h"
#include "exact.h"

// What was asked: the integrand, the interval as read, n, and the exact
// integral over the interval (exact_integral(*f, a, b)).
struct Task {
    const IntegrandEntry* f = nullptr;
    double a = 0.0;
    double b = 0.0;
    int n = 0;
    Integral integral;
};

// The integrand over [a, b] with each rule's panels on the rule's own
// points, one box a rule, stacked on the same axes (a rule given twice is
// drawn once), and under them a caption: the integrand, a, b, n, the
// integral, and each rule's result (`results`, in the rules' order) and
// error.
std::string panels_svg(const Task& task, const std::vector<Rule>& rules, const std::vector<double>& results);

// Each rule's absolute error against n on log-log axes, with reference
// slopes; rows at the level of rounding drawn hollow.
std::string convergence_svg(const Task& task, const std::vector<Convergence>& all);

// Writes `text` into `path` whole or not at all: into a new file beside it,
// on the disk before it is renamed over `path`, so that `path` is always
// either what it was or the whole picture, also after a power cut, and
// nothing else is left behind, also when a signal ends the program
// meanwhile. A symbolic link stays and the file it names is replaced, with
// its mode kept. Returns 0, an errno value (EACCES for a file the user may
// not write, as cp refuses it), or one of the refusals below: a picture
// never takes the place of anything but a regular file, nor of the results
// file (`results_file` in the working folder, existing or not) or the
// program's own standard streams.
int write_picture(const std::string& path, const std::string& text, const char* results_file);
constexpr int not_a_regular_file = -1;
constexpr int the_results_file = -2;
constexpr int own_standard_input = -3; // then -4 output, -5 error
constexpr int own_standard_output = -4;
constexpr int own_standard_error = -5;
