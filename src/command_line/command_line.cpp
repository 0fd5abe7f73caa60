#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

#include "console.h"
#include "console_input.h"
#include "convergence.h"
#include "number_text.h"
#include "dialogue.h"
#include "options.h"
#include "picture.h"

namespace {

std::string text(const char* format, double v) { return number_text(format, v); }

std::string interval(const Options& o) { return text("%.17g", o.a) + " " + text("%.17g", o.b); }

void say_integral(std::FILE* out, const Integral& integral)
{
    if (integral.kind == IntegralKind::not_real)
        std::fprintf(out, "pozn.: integral nie je realne cislo: %s\n", integral.why.c_str());
    if (integral.kind == IntegralKind::none)
        std::fprintf(out, "pozn.: integral nema hodnotu: %s\n", integral.why.c_str());
    if (integral.kind == IntegralKind::undetermined)
        std::fprintf(out, "pozn.: integral sa nepodarilo urcit: %s\n", integral.why.c_str());
}

// Where the result and the integral disagree in kind, and what Simpson's
// rule did with an odd n.
void say_result(std::FILE* out, const Options& o, Rule rule, double result, const Integral& integral)
{
    const int n = o.n;
    const char key = rule_entry(rule).key;
    if (integral.kind == IntegralKind::real && std::isnan(result))
        std::fprintf(out, "pozn.: %c: vysledok je nan, hoci integral je realne cislo\n", key);
    if (integral.kind == IntegralKind::not_real && std::isfinite(result))
        std::fprintf(out, "pozn.: %c: vysledok je cislo, hoci integral nie je realne cislo\n", key);
    if (rule == Rule::simpson && n > 0 && n % 2 == 1)
        std::fprintf(out, "pozn.: %c: N = %d je neparne, Simpsonova metoda pocitala na %lld subintervaloch\n", key, n,
                     n + 1LL);
}

// A line of its own, handed to the system at once in one write: what is
// shown is never behind what is recorded by more than the run under way.
void show(std::FILE* out, const std::string& line)
{
    std::fputs((line + "\n").c_str(), out);
    std::fflush(out);
}

// One run per rule, each recorded as the dialogue records it, its line
// shown right after its record. Returns the results in the rules' order.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): out, err, as the standard streams go
std::vector<double> run_each(const Options& o, const Integral& integral, std::FILE* out, std::FILE* err)
{
    ResultsLog res;
    if (o.log) {
        LogProblem problem;
        res = open_results_log(results_file_name, problem);
        tell_log_problem(err, problem);
    }
    if (o.exact) {
        const std::string value = integral.kind == IntegralKind::real ? integral.digits : "-";
        show(out, "integral " + interval(o) + " " + value);
    }
    ProgressLine progress = progress_line_on(err);
    std::vector<double> results;
    for (Rule rule : o.rules) {
        LogProblem problem;
        const double result = run_and_record(rule_entry(rule), *o.f, o.a, o.b, o.n, res, progress, problem);
        std::string line = std::string(1, rule_entry(rule).key) + " " + text("%.15f", result);
        if (o.exact) {
            const Difference error = error_of(integral, result);
            line += " " + (error.exists ? error.text : std::string("-"));
        }
        show(out, line);
        tell_log_problem(err, problem);
        results.push_back(result);
    }
    close_results_log(res);
    if (o.exact) {
        say_integral(out, integral);
        for (std::size_t k = 0; k < o.rules.size(); ++k)
            say_result(out, o, o.rules[k], results[k], integral);
    }
    // The rules run for any n, but with none positive there is nothing
    // that approximates the integral.
    if (o.n <= 0)
        std::fprintf(out, "pozn.: N = %d nie je kladne, vysledky nie su integral\n", o.n);
    return results;
}

// Why a picture was not written, in the warning's words.
const char* picture_refusal(int error)
{
    switch (error) {
    case not_a_regular_file:
        return "nie je obycajny subor";
    case the_results_file:
        return "je to subor vysledky.txt";
    case own_standard_input:
        return "je to standardny vstup programu";
    case own_standard_output:
        return "je to standardny vystup programu";
    case own_standard_error:
        return "je to standardny chybovy vystup programu";
    default:
        return system_reason(error);
    }
}

// The picture after everything else is written, so that standard output
// is the same with --svg as without; false where it could not be written,
// for want of memory too: what was run and shown stays so.
bool draw(const Options& o, const Integral& integral, std::FILE* err, const std::vector<double>& results,
          const std::vector<Convergence>& all)
{
    if (o.svg.empty())
        return true;
    int error = 0;
    try {
        const Task task{o.f, o.a, o.b, o.n, integral};
        std::string picture;
        if (o.table)
            picture = convergence_svg(task, all);
        else
            picture = panels_svg(task, o.rules, results);
        error = write_picture(o.svg, picture, results_file_name);
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    if (error == 0)
        return true;
    std::fprintf(err, "Upozornenie: obrazok %s sa nepodarilo zapisat (%s).\n",
                 shown_argument(o.svg, std::string::npos).c_str(), picture_refusal(error));
    std::fflush(err);
    return false;
}

// Columns padded to their widest cell, right-aligned, two spaces apart.
void print_aligned(std::FILE* out, const std::vector<std::vector<std::string>>& cells)
{
    std::vector<std::size_t> width;
    for (const auto& row : cells)
        for (std::size_t k = 0; k < row.size(); ++k) {
            width.resize(std::max(width.size(), row.size()));
            width[k] = std::max(width[k], row[k].size());
        }
    for (const auto& row : cells) {
        std::string line;
        for (std::size_t k = 0; k < row.size(); ++k)
            line += std::string(width[k] - row[k].size() + (k > 0 ? 2 : 0), ' ') + row[k];
        line.erase(line.find_last_not_of(' ') + 1);
        std::fprintf(out, "%s\n", line.c_str());
    }
}

// odhad / chyba: how close Richardson's estimate came to the error itself,
// only where the error's digits are known.
bool has_ratio(const ConvergenceRow& r)
{
    return r.has_estimate && r.error.exists && r.error.text != "?" && std::isfinite(r.error.value) &&
           r.error.value != 0.0;
}

std::string estimate_ratio(const ConvergenceRow& r)
{
    if (!has_ratio(r))
        return "-";
    return text("%.2f", r.estimate / r.error.value);
}

std::string difference_text(const Difference& d) { return d.exists ? d.text : std::string("-"); }

void print_table(std::FILE* out, const Options& o, const Integral& integral, const std::vector<Convergence>& all)
{
    std::fprintf(out, "%s od %s po %s: ", integrand_name(*o.f).c_str(), text("%.17g", o.a).c_str(),
                 text("%.17g", o.b).c_str());
    if (integral.kind == IntegralKind::real)
        std::fprintf(out, "integral %s\n", integral.digits.c_str());
    else if (integral.kind == IntegralKind::undetermined)
        std::fprintf(out, "integral sa nepodarilo urcit: %s\n", integral.why.c_str());
    else
        std::fprintf(out, "%s\n", integral.why.c_str());
    bool unknown = false; // a "?" anywhere, which the legend then explains
    for (const Convergence& c : all) {
        const RuleEntry& rule = rule_entry(c.rule);
        std::fprintf(out, "\n%s metoda (%c), rad %d pre hladke funkcie\n", rule.record_name, rule.key, rule.order);
        std::vector<std::vector<std::string>> cells = {
            {"n", "vysledok", "chyba", "metoda", "zaokruhlenie", "rad", "odhad", "odhad/chyba", "chyba_extr."}};
        for (const ConvergenceRow& r : c.rows) {
            cells.push_back({std::to_string(r.n), text("%.15f", r.result), difference_text(r.error), "-", "-", "", "",
                             "", ""});
            if (r.split.exists) {
                cells.back()[3] = r.split.method_text;
                cells.back()[4] = r.split.rounding_text;
            }
            if (r.order_shown)
                cells.back()[5] = text("%.2f", r.order);
            else if (r.rounding_level)
                cells.back()[5] = "zaokr.";
            if (r.has_estimate) {
                cells.back()[6] = text("%+.2e", r.estimate);
                cells.back()[7] = estimate_ratio(r);
                cells.back()[8] = difference_text(r.extrapolated_error);
            }
        }
        print_aligned(out, cells);
        for (const auto& row : cells)
            unknown = unknown || std::find(row.begin(), row.end(), "?") != row.end();
    }
    std::fprintf(out, "\nchyba = vysledok - integral = metoda + zaokruhlenie\n"
                      "metoda: chyba metody pocitanej presne v tych istych bodoch\n"
                      "zaokruhlenie: co pridava pocitanie v double\n"
                      "rad = log2(|chyba(n/2)| / |chyba(n)|); pre hladke funkcie 1 obdlznikova a pravostranna,\n"
                      "  2 lichobeznikova a stredova, 4 Simpsonova\n"
                      "zaokr.: zaokruhlenie prevysuje desatinu chyby metody, rad nic neznamena\n"
                      "odhad = (vysledok(n/2) - vysledok(n)) / (2^p - 1), p rad metody pre hladke funkcie:\n"
                      "  Richardsonov odhad chyby len z dvoch vysledkov\n"
                      "odhad/chyba: blizko 1.00, kde sa odhadu da verit (hladka funkcia, riadky nad urovnou\n"
                      "  zaokruhlenia); daleko od 1, kde nie\n"
                      "chyba_extr.: chyba Richardsonovej extrapolacie vysledok(n) - odhad\n");
    if (unknown)
        std::fprintf(out, "?: tieto cislice sa pri presnosti, s akou je integral znamy, nedaju urcit\n");
}

// A field as data tools read it: empty where the value does not exist.
std::string field(bool exists, double v)
{
    if (!exists)
        return "";
    return text("%.17g", v);
}

// A text field, quoted where a comma or a quote would split it.
std::string text_field(const std::string& t)
{
    if (t.find_first_of(",\"\n") == std::string::npos)
        return t;
    std::string quoted = "\"";
    for (char c : t) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// The table in long form: a header, then one row per rule and n with every
// column of the people's table.
void print_csv(std::FILE* out, const Options& o, const Integral& integral, const std::vector<Convergence>& all)
{
    std::fprintf(out, "funkcia,a,b,integral,metoda,n,vysledok,chyba,chyba_metody,zaokruhlenie,rad,odhad,"
                      "odhad_ku_chybe,extrapolacia,chyba_extrapolacie,uroven_zaokruhlenia\n");
    const std::string common = text_field(integrand_name(*o.f)) + "," + text("%.17g", o.a) + "," +
                               text("%.17g", o.b) + "," +
                               field(integral.kind == IntegralKind::real, integral.nearest);
    for (const Convergence& c : all)
        for (const ConvergenceRow& r : c.rows) {
            const bool method = r.split.exists && r.split.method_text != "?";
            const bool rounding = r.split.exists && r.split.rounding_text != "?";
            const std::string line =
                common + "," + rule_entry(c.rule).key + "," + std::to_string(r.n) + "," + text("%.17g", r.result) +
                "," + field(r.error.exists && r.error.known, r.error.value) + "," + field(method, r.split.method) +
                "," + field(rounding, r.split.rounding) + "," + field(r.has_order, r.order) + "," +
                field(r.has_estimate, r.estimate) + "," +
                field(has_ratio(r) && r.error.known, r.estimate / r.error.value) + "," +
                field(r.has_estimate, r.extrapolated) + "," +
                field(r.extrapolated_error.exists && r.extrapolated_error.known, r.extrapolated_error.value) + "," +
                (r.split.exists ? (r.rounding_level ? "1" : "0") : "");
            std::fprintf(out, "%s\n", line.c_str());
        }
}

} // namespace

int run_command_line(const std::vector<std::string>& args, std::FILE* out, std::FILE* err)
{
    Options o;
    std::string error;
    const Parsed parsed = parse_options(args, o, error);
    if (parsed == Parsed::usage_error) {
        std::fprintf(err, "integrate: %s. Pozri integrate --help.\n", error.c_str());
        return 2;
    }
    if (parsed == Parsed::help)
        std::fputs(usage_text, out);
    if (parsed == Parsed::version)
        std::fputs("integrate " INTEGRATE_VERSION "\n", out);
    bool drawn = true;
    // The integral once, where anything shows it.
    Integral integral;
    if (parsed == Parsed::run && (o.exact || o.table || !o.svg.empty()))
        integral = exact_integral(*o.f, o.a, o.b);
    if (parsed == Parsed::run && !o.table)
        drawn = draw(o, integral, err, run_each(o, integral, out, err), {});
    if (parsed == Parsed::run && o.table) {
        // The table's last n is a power of two; another N is said where it stops.
        long long last = 2;
        while (last * 2 <= o.n)
            last *= 2;
        if (last != o.n) {
            std::fprintf(err, "pozn.: N = %d nie je mocnina dvoch, tabulka konci pri n = %lld\n", o.n, last);
            std::fflush(err);
        }
        ProgressLine progress = progress_line_on(err);
        const std::vector<Convergence> all = convergence(o.rules, *o.f, o.a, o.b, o.n, integral, progress_on(progress));
        erase_progress(progress);
        if (o.csv)
            print_csv(out, o, integral, all);
        else
            print_table(out, o, integral, all);
        drawn = draw(o, integral, err, {}, all);
    }
    errno = 0;
    if (std::fflush(out) == 0 && !std::ferror(out))
        return drawn ? 0 : 1;
    warn(err, "Upozornenie: zapis na standardny vystup zlyhal (%s).\n", system_reason(errno != 0 ? errno : EIO));
    return 1;
}
