#include <cstdio>

#include "dialogue.h"

int main()
{
    ResultsLog res = open_results_log();
    return run_dialogue(stdin, stdout, res);
}
