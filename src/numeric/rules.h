// The rules by name: the one table that the dialogue, the results file, the
// command line, the tests and the benchmark read, so that adding or
// renaming a rule touches one place. The dialogue knows the three with a
// line in its menu; the command line knows all five.
#pragma once

#include <algorithm>
#include <iterator>

#include "plain_rules.h"

enum class Rule { simpson, rectangle, trapezoid, midpoint, right_rectangle };
constexpr int rule_count = 5;

struct RuleEntry {
    Rule rule;
    char key;                // typed at the rule menu or on the command line
    const char* name;        // in English, for the tests and the benchmark
    const char* menu_line;   // the rule's line of the rule menu; null where the dialogue has none
    const char* result_line; // printf format of the result on the console
    const char* record_name; // in the results file and the table
    int order;               // of its error for a smooth integrand: h^order
    double (*plain)(double a, double b, int n, Integrand f);
};

// In the rule menu's order, the command line's two after.
inline constexpr RuleEntry rule_table[] = {
    {Rule::simpson, 's', "simpson", "\t s - Simpsonova metoda \n",
     "\n Vysledok aproximacie Simpsonovou metodou: %.15lf\n", "Simpsonova", 4, simpson_rule},
    {Rule::rectangle, 'o', "rectangle", "\t o - Obdlznikova metoda \n",
     "\n Vysledok aproximacie obdlznikovou metodou: %.15lf\n", "Obdlznikova", 1, rectangle_rule},
    {Rule::trapezoid, 'l', "trapezoid", "\t l - Lychobeznikova metoda \n",
     "\n Vysledok aproximacie lichobeznikovou metodou: %.15lf\n", "Lichobeznikova", 2, trapezoid_rule},
    {Rule::midpoint, 'm', "midpoint", nullptr, nullptr, "Stredova", 2, midpoint_rule},
    {Rule::right_rectangle, 'p', "right", nullptr, nullptr, "Pravostranna", 1, right_rectangle_rule},
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

// The rule typed as `key` at the dialogue's rule menu; null for the others,
// m and p among them.
inline const RuleEntry* dialogue_rule_with_key(char key)
{
    const RuleEntry* r = rule_with_key(key);
    if (r == nullptr || r->menu_line == nullptr)
        return nullptr;
    return r;
}
