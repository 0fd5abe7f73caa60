#include "options.h"

#include <algorithm>

#include "evaluate.h"
#include "number_reader.h"

const char usage_text[] =
    "Pouzitie: integrate [VOLBY] F A B N [METODY]\n"
    "          integrate [VOLBY] -f FUNKCIA A B N [METODY]\n"
    "Bez argumentov integrate vedie dialog.\n"
    "\n"
    "Aproximuje integral funkcie F od A po B na N rovnakych subintervaloch\n"
    "metodami METODY a vypise pre kazdu jeden riadok: jej kluc a vysledok\n"
    "s 15 desatinnymi miestami, bit za bitom ako v dialogu. Kazdy beh sa\n"
    "zapise do suboru vysledky.txt ako v dialogu.\n"
    "\n"
    "  F       1 az 9 a 0: polynomy z ponuky dialogu; a: sqrt(sin x)\n"
    "  A, B    cisla ako v dialogu: 2.5, -1e-3, -.5, 0x1p1, inf, nan\n"
    "          (s desatinnou bodkou: 2.5, nie 2,5), alebo konstantne\n"
    "          vyrazy: pi, pi/2, -2pi, sqrt(2), e^2\n"
    "  N       cele cislo; mimo rozsahu int sa oreze\n"
    "  METODY  ktorekolvek z s (Simpsonova), o (obdlznikova, lave konce),\n"
    "          l (lichobeznikova), m (stredova: stredy subintervalov),\n"
    "          p (pravostranna: prave konce); bez nich sol\n"
    "\n"
    "Volby:\n"
    "  -f, --function FUNKCIA\n"
    "                 vlastna funkcia premennej x namiesto F, napr.\n"
    "                 'x^2*exp(-x)', '3x^2 + 2sin(x)', 'sqrt(1 - x^2)':\n"
    "                 cisla ako v dialogu (2.5, 1e-3, .5), x, pi, e,\n"
    "                 + - * / ^ a zatvorky; ^ viaze silnejsie ako\n"
    "                 znamienko (-x^2 je -(x^2)) a zdruzuje sprava;\n"
    "                 cislo tesne pred x, funkciou alebo ( nasobi (3x^2,\n"
    "                 2sin(x), 0.5(x+1)); funkcie sin cos tan asin acos\n"
    "                 atan sinh cosh tanh exp log (prirodzeny) log10\n"
    "                 sqrt cbrt abs. Sucty a sucin sa pocitaju zlava\n"
    "                 doprava, ako su napisane; mocnina s celym\n"
    "                 exponentom 1 az 64 napisanym ako cislo je tolko\n"
    "                 cinitelov v sucine (3x^2 je (3*x)*x), ako delitel\n"
    "                 sa vytvori najprv (1/x^2 je 1/(x*x)); ina mocnina\n"
    "                 vola pow. Typy menu s desatinnou bodkou davaju tie\n"
    "                 iste bity ako F.\n"
    "  -e, --exact    aj presny integral (riadok 'integral A B hodnota') a pri\n"
    "                 kazdom vysledku jeho chyba, vysledok minus integral\n"
    "  -t, --table    tabulka pre n = 2, 4, 8, ... az po N: vysledok, chyba,\n"
    "                 jej diel metody a diel zaokruhlenia, pozorovany rad\n"
    "                 log2(|chyba(n/2)| / |chyba(n)|) a Richardsonov odhad\n"
    "                 chyby z dvoch vysledkov; do vysledky.txt sa nic\n"
    "                 nezapisuje (studia, nie behy)\n"
    "      --csv      cela tabulka ako CSV, riadok pre kazdu metodu a n;\n"
    "                 len s --table\n"
    "      --no-log   nezapisovat do vysledky.txt\n"
    "      --svg SUBOR\n"
    "                 obrazok SVG do SUBORu: pri behu funkcia a panely\n"
    "                 kazdej metody, s --table chyba podla n na\n"
    "                 logaritmickych osiach\n"
    "  -h, --help     tento text\n"
    "      --version  verzia\n"
    "  --             koniec volieb\n"
    "\n"
    "Rady 1 (obdlznikova a pravostranna), 2 (lichobeznikova a stredova) a 4\n"
    "(Simpsonova) plati len pre hladke funkcie: sqrt(sin x) pri nasobku pi\n"
    "ma rad 1.5 pri vsetkych metodach a obdlznikova metoda dosiahne rad 2\n"
    "tam, kde f(A) = f(B).\n"
    "Kde zaokruhlenie prerastie desatinu chyby metody, rad nic neznamena a\n"
    "tabulka ho nevypise.\n";

std::string shown_argument(const std::string& arg, std::size_t longest)
{
    std::string out;
    for (const char c : arg) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u >= 0x7f) { // C0, DEL, and C1 (0x9b starts an escape) among other bytes
            static const char hex[] = "0123456789abcdef";
            out += std::string("\\x") + hex[u / 16] + hex[u % 16];
        } else {
            out += c;
        }
    }
    if (out.size() > longest) {
        out.resize(longest - 3);
        out += "...";
    }
    return out;
}

namespace {

bool fail(std::string& error, const std::string& what)
{
    error = what;
    return false;
}

// A usage error quotes an argument cut short where it is long.
std::string shown(const std::string& arg) { return shown_argument(arg, 60); }

bool read_f(const std::string& arg, Options& o, std::string& error)
{
    const IntegrandEntry* e = nullptr;
    if (arg.size() == 1)
        e = integrand_with_key(arg[0]);
    if (e == nullptr)
        return fail(error, "F '" + shown(arg) + "' nie je funkcia: 1 az 9, 0 alebo a");
    o.f = e;
    return true;
}

// Where a typed text is no expression: its character's number, counted
// from 1, and what was expected there.
std::string where(const expr::ParseError& e) { return "na znaku " + std::to_string(e.at + 1) + ": " + e.what; }

// A number as the dialogue reads it, or else a constant expression
// evaluated in double in the order of a typed function.
bool read_end(const char* name, const std::string& arg, double& v, std::string& error)
{
    if (whole_double(arg.c_str(), v))
        return true;
    std::string with_point = arg;
    std::replace(with_point.begin(), with_point.end(), ',', '.');
    double ignored = 0.0;
    if (with_point != arg && whole_double(with_point.c_str(), ignored))
        return fail(error, std::string(name) + " '" + shown(arg) + "' nie je cislo: desatinnu ciarku napis ako bodku, " +
                               shown(with_point));
    expr::Expression e;
    expr::ParseError why;
    if (expr::trimmed(arg).empty())
        return fail(error, std::string(name) + " '" + shown(arg) + "' nie je cislo");
    if (!expr::parse(arg, e, why))
        return fail(error, std::string(name) + " '" + shown(arg) + "' nie je cislo ani vyraz: " + where(why));
    if (e.uses_x())
        return fail(error, std::string(name) + " '" + shown(arg) + "' nie je cislo: hranica nemoze zavisiet od x");
    v = expr::value_at(e, 0.0);
    return true;
}

bool read_function(const std::string& arg, Options& o, std::string& error)
{
    if (o.function_given)
        return fail(error, "volba -f je zadana dvakrat");
    o.function_given = true;
    auto typed = std::make_shared<TypedFunction>();
    typed->text = expr::trimmed(arg);
    expr::ParseError why;
    if (!expr::parse(arg, typed->tree, why))
        return fail(error, "funkcia '" + shown(arg) + "' " + where(why));
    typed->program = std::make_unique<expr::Program>(typed->tree);
    typed->entry = IntegrandEntry{0, 0, nullptr, typed->text.c_str(), nullptr, {}, &typed->tree,
                                  typed->program.get()};
    o.typed = typed;
    o.f = &typed->entry;
    return true;
}

bool read_n(const std::string& arg, Options& o, std::string& error)
{
    if (whole_int(arg.c_str(), o.n))
        return true;
    return fail(error, "N '" + shown(arg) + "' nie je cele cislo");
}

// An empty METODY (a script's variable left unset, say) is a mistake, not
// a request for no rule: there would be nothing to show or draw.
bool read_rules(const std::string& arg, Options& o, std::string& error)
{
    if (arg.empty())
        return fail(error, "METODY '': metody su s, o, l, m a p");
    for (char key : arg) {
        const RuleEntry* rule = rule_with_key(key);
        if (rule == nullptr)
            return fail(error, "METODY '" + shown(arg) + "': metody su s, o, l, m a p");
        o.rules.push_back(rule->rule);
    }
    return true;
}

// F A B N [METODY], or A B N [METODY] after -f.
bool read_positional(const std::vector<std::string>& p, Options& o, std::string& error)
{
    const std::size_t first = o.f == nullptr ? 1 : 0; // where A stands
    if (p.size() < first + 3)
        return fail(error, first == 1 ? "chybaju argumenty: treba F A B N" : "chybaju argumenty: treba A B N");
    if (p.size() > first + 4)
        return fail(error, "nadbytocny argument '" + shown(p[first + 4]) + "'");
    if ((first == 1 && !read_f(p[0], o, error)) || !read_end("A", p[first], o.a, error) ||
        !read_end("B", p[first + 1], o.b, error) || !read_n(p[first + 2], o, error))
        return false;
    if (p.size() == first + 4)
        return read_rules(p[first + 3], o, error);
    // Left out, the dialogue's three, as before there were more.
    for (const RuleEntry& r : rule_table)
        if (r.menu_line != nullptr)
            o.rules.push_back(r.rule);
    return true;
}

// A long option, with its value taken from "=VALUE" or the next argument.
bool read_long(const std::string& arg, const std::vector<std::string>& args, std::size_t& k, Options& o,
               std::string& error)
{
    const std::string name = arg.substr(0, arg.find('='));
    const bool has_value = name.size() < arg.size();
    if (name == "--function") {
        if (has_value)
            return read_function(arg.substr(name.size() + 1), o, error);
        if (k + 1 >= args.size())
            return fail(error, "volba --function potrebuje funkciu");
        return read_function(args[++k], o, error);
    }
    if (name == "--svg") {
        if (!o.svg.empty())
            return fail(error, "volba --svg je zadana dvakrat");
        if (has_value)
            o.svg = arg.substr(name.size() + 1);
        else if (k + 1 < args.size())
            o.svg = args[++k];
        if (o.svg.empty())
            return fail(error, "volba --svg potrebuje nazov suboru");
        return true;
    }
    if (has_value)
        return fail(error, "volba " + shown(name) + " nema hodnotu");
    if (name == "--help")
        o.help = true;
    else if (name == "--version")
        o.version = true;
    else if (name == "--exact")
        o.exact = true;
    else if (name == "--table")
        o.table = true;
    else if (name == "--csv")
        o.csv = true;
    else if (name == "--no-log")
        o.log = false;
    else
        return fail(error, "neznama volba " + shown(name));
    return true;
}

// An argument that starts with '-' yet is a value: a whole number (-.5,
// -inf, -nan) or a constant expression (-2pi, -pi, -sqrt(2)). A cluster of
// known short options stays one: -e is --exact, minus e is written (-e).
bool negative_value(const std::string& arg)
{
    double number = 0.0;
    if (whole_double(arg.c_str(), number))
        return true;
    if (arg.find_first_not_of("-hetf") == std::string::npos || arg[1] == '-')
        return false;
    expr::Expression e;
    expr::ParseError why;
    return expr::parse(arg, e, why) && !e.uses_x();
}

// The long options, for one typed with one dash (-help).
const char* const long_options[] = {"help", "version", "exact", "table", "csv", "no-log", "svg", "function"};

std::string long_name(const std::string& cluster) { return cluster.substr(1, cluster.find('=') - 1); }

bool names_long_option(const std::string& cluster)
{
    const std::string name = long_name(cluster);
    return std::any_of(std::begin(long_options), std::end(long_options), [&](const char* o) { return name == o; });
}

// A cluster of short options; -f takes the rest of it, or the next argument.
bool read_short(const std::string& arg, const std::vector<std::string>& args, std::size_t& at, Options& o,
                std::string& error)
{
    // Not -h -e -l -p, nor -f with "unction": a long option with one dash.
    if (names_long_option(arg))
        return fail(error, "neznama volba " + shown(arg) + ", dlha volba sa pise --" + long_name(arg));
    for (std::size_t k = 1; k < arg.size(); ++k) {
        if (arg[k] == 'f' && k + 1 < arg.size())
            return read_function(arg.substr(k + 1), o, error);
        if (arg[k] == 'f' && at + 1 >= args.size())
            return fail(error, "volba -f potrebuje funkciu");
        if (arg[k] == 'f')
            return read_function(args[++at], o, error);
        if (arg[k] == 'h')
            o.help = true;
        else if (arg[k] == 'e')
            o.exact = true;
        else if (arg[k] == 't')
            o.table = true;
        else
            return fail(error, std::string("neznama volba ") + shown(std::string("-") + arg[k]));
    }
    return true;
}

} // namespace

Parsed parse_options(const std::vector<std::string>& args, Options& o, std::string& error)
{
    std::vector<std::string> positional;
    bool options_end = false;
    bool options_given = false;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        bool ok = true;
        if (options_end || arg.size() < 2 || arg[0] != '-' || negative_value(arg)) {
            positional.push_back(arg);
        } else if (arg == "--") {
            options_end = true;
        } else if (arg[1] == '-') {
            options_given = true;
            ok = read_long(arg, args, k, o, error);
        } else {
            options_given = true;
            ok = read_short(arg, args, k, o, error);
        }
        if (!ok)
            return Parsed::usage_error;
    }
    if (o.help)
        return Parsed::help;
    if (o.version)
        return Parsed::version;
    if (positional.empty() && options_given)
        error = "volby bez argumentov F A B N";
    else if (!read_positional(positional, o, error))
        return Parsed::usage_error;
    else if (o.csv && !o.table)
        error = "--csv ide len s --table";
    else if (o.table && o.n < 2)
        error = "tabulka potrebuje N aspon 2";
    if (!error.empty())
        return Parsed::usage_error;
    return Parsed::run;
}
