#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "dialogue.h"
#include "progress_line.h"

// A standard descriptor closed by the parent would be the next file opened,
// and the results file would take in the menus or the warnings: each closed
// one is opened on the null device instead, as if discarded. Without
// arguments the program is the dialogue.
int main(int argc, char** argv)
{
#ifdef INTEGRATE_PROGRESS_AFTER_MS
    show_progress_after(INTEGRATE_PROGRESS_AFTER_MS); // the tests' build
#endif
    for (int fd = 0; fd <= 2; ++fd)
        if (!descriptor_open(fd))
            open_null_device_as(fd);
    fail_writes_past_size_limit();
    if (argc > 1)
        return run_command_line(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
    LogProblem problem;
    ResultsLog res = open_results_log(results_file_name, problem);
    tell_log_problem(stderr, problem);
    return run_dialogue(stdin, stdout, stderr, res);
}
