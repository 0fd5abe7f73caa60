#include "dialogue.h"

#include <ctime>

#include "console.h"
#include "console_input.h"
#include "quadrature.h"

namespace {

// The integrand menu: each listed entry's own line, then w.
void show_integrand_menu(std::FILE* out)
{
    std::fputs("\n Vyberte funkciu :\n", out);
    for (const IntegrandEntry& e : integrand_catalogue)
        if (e.menu != nullptr)
            std::fprintf(out, "\t %c- %s\n", e.key, e.menu);
    std::fputs("\t  \n\t w- koniec\n ", out);
}

const char values_prompt[] =
    "\n\t Zadajte hodnoty: a  b  n \n"
    "\ta Lavy krajny bod integrovaneho intervalu\n"
    "\tb Pravy krajny bod integrovaneho intervalu\n"
    "\tn Pocet subintervalov\n";

void show_rule_menu(std::FILE* out)
{
    std::fputs("\n Vyberte integracnu metodu : \n", out);
    for (const RuleEntry& r : rule_table)
        if (r.menu_line != nullptr)
            std::fputs(r.menu_line, out);
    std::fputs("\t q - Spet na vyber funkcie \n", out);
}

// The record goes in before the result line shows; a stalled terminal then
// blocks the result line, not the record with its signals held.
void run(const RuleEntry& rule, const IntegrandEntry& fn, double x0, double xn, int n, ConsoleInput& input,
         ResultsLog& res, ProgressLine& progress)
{
    LogProblem problem;
    const double result = run_and_record(rule, fn, x0, xn, n, res, progress, problem);
    std::fprintf(input.out, rule.result_line, result);
    tell_log_problem(input.err, problem);
}

// Whatever ends the dialogue, the output is flushed and its fate told.
int end(ConsoleInput& input)
{
    flush_output(input);
    if (input.output_failed || input.input_failed)
        return 1;
    return 0;
}

} // namespace

double run_and_record(const RuleEntry& rule, const IntegrandEntry& fn, double x0, double xn, int n, ResultsLog& res,
                      ProgressLine& progress, LogProblem& problem)
{
    const long long t0 = clock_ms();
    const double result = integrate(rule.rule, fn, x0, xn, n, progress_on(progress));
    const long long t1 = clock_ms();
    const double duration = (double)(t1 - t0) / 1000.0;
    const std::time_t cas = std::time(nullptr);
    erase_progress(progress);
    problem = append_record(res, RunRecord{cas, duration, integrand_name(fn), x0, xn, n, rule.rule, result});
    return result;
}

void tell_log_problem(std::FILE* err, const LogProblem& problem)
{
    const char* why = nullptr;
    switch (problem.kind) {
    case LogProblem::none:
        return;
    case LogProblem::write_failed:
        warn(err, "Upozornenie: zapis do suboru vysledky.txt zlyhal (%s).\n", system_reason(problem.error));
        return;
    case LogProblem::own_input:
        why = "je to standardny vstup programu";
        break;
    case LogProblem::own_output:
        why = "je to standardny vystup programu";
        break;
    case LogProblem::own_error:
        why = "je to standardny chybovy vystup programu";
        break;
    case LogProblem::cannot_open:
        why = system_reason(problem.error);
        break;
    }
    warn(err, "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (%s); vysledky sa nebudu zapisovat.\n", why);
}

int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err, ResultsLog& res)
{
    ConsoleInput input{in, out, err};
    ProgressLine progress = progress_line_on(err);
    double x0 = 0.0;
    double xn = 0.0;
    int n = 0;
    for (;;) {
        show_integrand_menu(out);
        int c = read_char(input);
        if (c == EOF)
            return end(input);
        char choice = static_cast<char>(c);
        if (choice == 'w')
            return end(input);
        const IntegrandEntry& fn = select_integrand(choice);

        std::fputs(values_prompt, out);
        read_numbers(input, x0, xn, n);
        show_rule_menu(out);

        // q at the integrand menu leaves choice at q: no rule runs.
        while (choice != 'q') {
            c = read_char(input);
            if (c == EOF)
                return end(input);
            choice = static_cast<char>(c);
            const RuleEntry* rule = dialogue_rule_with_key(choice);
            if (rule != nullptr)
                run(*rule, fn, x0, xn, n, input, res, progress);
        }
        if (read_char(input) == EOF) // normally the newline after q
            return end(input);
    }
}
