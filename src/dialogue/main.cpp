#include <cstdio>

#include "console.h"
#include "dialogue.h"

// A standard descriptor closed by the parent would be the next file opened,
// and the results file would take in the menus or the warnings: each closed
// one is opened on the null device instead, as if discarded.
int main()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (!descriptor_open(fd))
            open_null_device_as(fd);
    fail_writes_past_size_limit();
    LogProblem problem;
    ResultsLog res = open_results_log(results_file_name, problem);
    tell_log_problem(stderr, problem);
    return run_dialogue(stdin, stdout, stderr, res);
}
