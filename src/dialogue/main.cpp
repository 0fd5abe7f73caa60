#include <cstdio>

#include "console.h"
#include "dialogue.h"

int main()
{
    keep_standard_descriptors();
    LogProblem problem;
    ResultsLog res = open_results_log(results_file_name, problem);
    tell_log_problem(stderr, problem);
    return run_dialogue(stdin, stdout, stderr, res);
}
