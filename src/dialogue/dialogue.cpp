#include <ctime>

#include "dialogue.h"

namespace {

const char integrand_menu[] =
    "\n Vyberte funkciu :\n"
    "\t 1- x^3 +3x^2 +x-3 \n"
    "\t 2- x^2 -4x +2\n"
    "\t 3- x^3-7x+2,5 \n"
    "\t 4- x^4 -4x^2 +3 \n"
    "\t 5- x^4 +1 \n"
    "\t 6- x^5 -2x^4 +3x^3 -4x^2 +5x -6 \n"
    "\t 7- -x^4 +8x^3 -18x^2 +27 \n"
    "\t 8- 0,25x^4 -0,5x^3 -x^2 -3x -5\n"
    "\t 9- -x^3 +2x^2 -7x +2 \n"
    "\t 0- x^9 -0,5x^8 +x^7 -2x^6 +3,5x^5 -7x^4 +15x^3 -27x^2 +x -18\n"
    "\t  \n"
    "\t w- koniec\n ";

const char values_prompt[] =
    "\n\t Zadajte hodnoty: a  b  n \n"
    "\ta Lavy krajny bod integrovaneho intervalu\n"
    "\tb Pravy krajny bod integrovaneho intervalu\n"
    "\tn Pocet subintervalov\n";

const char rule_menu[] =
    "\n Vyberte integracnu metodu : \n"
    "\t s - Simpsonova metoda \n"
    "\t o - Obdlznikova metoda \n"
    "\t l - Lychobeznikova metoda \n"
    "\t q - Spet na vyber funkcie \n";

const char* result_line(Rule rule)
{
    switch (rule) {
    case Rule::simpson:
        return "\n Vysledok aproximacie Simpsonovou metodou: %.15lf\n";
    case Rule::rectangle:
        return "\n Vysledok aproximacie obdlznikovou metodou: %.15lf\n";
    case Rule::trapezoid:
        break;
    }
    return "\n Vysledok aproximacie lichobeznikovou metodou: %.15lf\n";
}

// Times the rule alone; the result line and the record come after, the
// progress line, if any, erased first.
void run(Rule rule, const IntegrandEntry& fn, double x0, double xn, int n, std::FILE* out, ResultsLog& res,
         ProgressLine& progress)
{
    const long long t0 = clock_ms();
    const double result = integrate(rule, fn, x0, xn, n, progress_on(progress));
    const long long t1 = clock_ms();
    const double duration = (double)(t1 - t0) / 1000.0;
    const std::time_t cas = std::time(nullptr);
    erase_progress(progress);
    std::fprintf(out, result_line(rule), result);
    append_record(res, RunRecord{cas, duration, fn.label, x0, xn, n, rule, result});
}

bool rule_key(char c, Rule& rule)
{
    switch (c) {
    case 's':
        rule = Rule::simpson;
        return true;
    case 'o':
        rule = Rule::rectangle;
        return true;
    case 'l':
        rule = Rule::trapezoid;
        return true;
    default:
        return false;
    }
}

// Whatever ends the dialogue, the output is flushed and its fate told.
int end(ConsoleInput& input)
{
    flush_output(input);
    return input.output_failed ? 1 : 0;
}

} // namespace

int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err, ResultsLog& res)
{
    ConsoleInput input{in, out, err};
    ProgressLine progress = progress_line_on(err);
    double x0 = 0.0;
    double xn = 0.0;
    int n = 0;
    for (;;) {
        std::fputs(integrand_menu, out);
        int c = read_char(input);
        if (c == EOF)
            return end(input);
        char choice = static_cast<char>(c);
        if (choice == 'w')
            return end(input);
        const IntegrandEntry& fn = select_integrand(choice);

        std::fputs(values_prompt, out);
        read_numbers(input, x0, xn, n);
        std::fputs(rule_menu, out);

        // q at the integrand menu leaves choice at q: no rule runs.
        while (choice != 'q') {
            if ((c = read_char(input)) == EOF)
                return end(input);
            choice = static_cast<char>(c);
            Rule rule;
            if (rule_key(choice, rule))
                run(rule, fn, x0, xn, n, out, res, progress);
        }
        if (read_char(input) == EOF) // normally the newline after q
            return end(input);
    }
}
