// The three rules by name: the one table that the dialogue, the results
// file, the command line, the tests and the benchmark read, so that adding
// or renaming a rule touches one place.
#pragma once

#include <algorithm>
#include <iterator>

#include "plain_rules.h"

enum class Rule { simpson, rectangle, trapezoid };

struct RuleEntry {
    Rule rule;
    char key;                // typed at the rule menu
    const char* name;        // in English, for the tests and the benchmark
    const char* menu_line;   // the rule's line of the rule menu
    const char* result_line; // printf format of the result on the console
    const char* record_name; // in the results file
    double (*plain)(double a, double b, int n, Integrand f);
};

// In the rule menu's order.
inline constexpr RuleEntry rule_table[] = {
    {Rule::simpson, 's', "simpson", "\t s - Simpsonova metoda \n",
     "\n Vysledok aproximacie Simpsonovou metodou: %.15lf\n", "Simpsonova", simpson_rule},
    {Rule::rectangle, 'o', "rectangle", "\t o - Obdlznikova metoda \n",
     "\n Vysledok aproximacie obdlznikovou metodou: %.15lf\n", "Obdlznikova", rectangle_rule},
    {Rule::trapezoid, 'l', "trapezoid", "\t l - Lychobeznikova metoda \n",
     "\n Vysledok aproximacie lichobeznikovou metodou: %.15lf\n", "Lichobeznikova", trapezoid_rule},
};

inline const RuleEntry& rule_entry(Rule rule)
{
    return *std::find_if(std::begin(rule_table), std::end(rule_table), [rule](const RuleEntry& r) { return r.rule == rule; });
}

// The rule typed as `key`; null for every other key.
inline const RuleEntry* rule_with_key(char key)
{
    const RuleEntry* r = std::find_if(std::begin(rule_table), std::end(rule_table), [key](const RuleEntry& e) { return e.key == key; });
    if (r == std::end(rule_table))
        return nullptr;
    return r;
}
