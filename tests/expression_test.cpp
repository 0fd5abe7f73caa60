// Typed functions: their values as written, the errors a text can have, the
// tree written back, and the built-ins' bits from their menu texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "evaluate.h"
#include "program.h"
#include "quadrature.h"
#include "support.h"

namespace {

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

std::string row_name(const testing::TestParamInfo<Row>& i)
{
    const std::string name = test_name(i.param[0] + "_at_" + i.param[1]);
    return name.substr(0, 60) + "_" + std::to_string(i.index);
}

// text|x|value, or text||!column|what is said
class Expressions : public testing::TestWithParam<Row> {};
TEST_P(Expressions, AreEvaluatedAsWritten)
{
    const Row& r = GetParam();
    expr::Expression e;
    expr::ParseError error;
    const bool parsed = expr::parse(r[0], e, error);
    if (r[2][0] == '!') {
        ASSERT_FALSE(parsed);
        EXPECT_EQ(error.at + 1, std::stoul(r[2].substr(1)));
        EXPECT_EQ(error.what, r[3]);
        return;
    }
    ASSERT_TRUE(parsed) << error.at << ": " << error.what;
    const double x = number(r[1]);
    const double got = expr::value_at(e, x);
    const bool library = r[2][0] == '~';
    const double expected = number(r[2].substr(library ? 1 : 0));
    if (library) {
        EXPECT_NEAR(got, expected, 2 * (std::nextafter(std::fabs(expected), HUGE_VAL) - std::fabs(expected)));
    } else {
        EXPECT_EQ(bits(got), bits(expected)) << std::hexfloat << got;
    }
    // The program a block at a time gives the same bits as the tree.
    const expr::Program program(e);
    std::vector<double> scratch(program.scratch_size());
    double y = 0.0;
    program.run(&x, &y, 1, scratch.data());
    EXPECT_EQ(bits(y), bits(got));
    // Written back, the text parses into the same tree.
    expr::Expression again;
    ASSERT_TRUE(expr::parse(expr::to_text(e), again, error)) << expr::to_text(e);
    EXPECT_TRUE(expr::same_tree(e, again)) << expr::to_text(e);
}
INSTANTIATE_TEST_SUITE_P(Rows, Expressions, testing::ValuesIn(load_rows("expressions.txt")), row_name);

// Random texts in the whole language, each written back and read again:
// the same tree, and the same text a second time.
std::string random_text(std::mt19937& rng, int depth)
{
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    static const char* const leaves[] = {"x", "pi", "e", "2", "0.5", ".25", "1e-3", "3.", "0x1p2", "7"};
    if (depth == 0)
        return leaves[pick(10)];
    switch (pick(9)) {
    case 0:
        return random_text(rng, depth - 1) + " + " + random_text(rng, depth - 1) + " - " + random_text(rng, depth - 1);
    case 1:
        return random_text(rng, depth - 1) + "*" + random_text(rng, depth - 1) + "/" + random_text(rng, depth - 1);
    case 2:
        return "-" + random_text(rng, depth - 1);
    case 3:
        return "(" + random_text(rng, depth - 1) + ")^" + std::to_string(1 + pick(70));
    case 4:
        return "x^(" + random_text(rng, depth - 1) + ")";
    case 5:
        return std::string(expr::function_names[pick(15)]) + "(" + random_text(rng, depth - 1) + ")";
    case 6:
        return "3x^" + std::to_string(1 + pick(5)) + "(" + random_text(rng, depth - 1) + ")";
    case 7:
        return "2^-" + random_text(rng, depth - 1) + "^2";
    default:
        return "(" + random_text(rng, depth - 1) + ")";
    }
}

TEST(Expressions, WrittenBackParseIntoTheSameTree)
{
    std::mt19937 rng(20261207);
    for (int k = 0; k < 3000; ++k) {
        const std::string text = random_text(rng, 1 + k % 5);
        expr::Expression e;
        expr::ParseError error;
        ASSERT_TRUE(expr::parse(text, e, error)) << text << " at " << error.at << ": " << error.what;
        const std::string written = expr::to_text(e);
        expr::Expression again;
        ASSERT_TRUE(expr::parse(written, again, error)) << written << " at " << error.at << ": " << error.what;
        EXPECT_TRUE(expr::same_tree(e, again)) << text << " written " << written;
        EXPECT_EQ(expr::to_text(again), written) << text;
    }
}

// Texts at the deepest nesting a user may type are written back no deeper,
// so that what was read is always read again.
std::string repeated(const std::string& s, int times)
{
    std::string r;
    for (int k = 0; k < times; ++k)
        r += s;
    return r;
}

TEST(Expressions, WrittenBackAtTheDeepestNestingParseAgain)
{
    const std::pair<const char*, std::string> rows[] = {
        {"negative exponents", repeated("x^-", expr::deepest_nesting / 2) + "x"},
        {"a negated first factor", "--" + repeated("x^-", expr::deepest_nesting / 2 - 1) + "x*x"},
        {"a negated later factor", "x*--" + repeated("x^-", expr::deepest_nesting / 2 - 1) + "x/x"},
    };
    for (const auto& [what, text] : rows) {
        expr::Expression e;
        expr::ParseError error;
        ASSERT_TRUE(expr::parse(text, e, error)) << what << " at " << error.at << ": " << error.what;
        expr::Expression again;
        EXPECT_TRUE(expr::parse(expr::to_text(e), again, error)) << what << " at " << error.at << ": " << error.what;
    }
}

// Each built-in's text, typed, gives the built-in's bits under every rule:
// odd n, a > b, n <= 0, hexadecimal ends, and runs long enough for the
// threads beside the chain.
class TypedMenuTexts : public testing::TestWithParam<IntegrandEntry> {};
TEST_P(TypedMenuTexts, GiveTheBuiltInsBits)
{
    // The text is the menu's line as a user types it: the decimal commas
    // points, the spaces around it gone.
    if (GetParam().menu != nullptr) {
        std::string typed_menu = GetParam().menu;
        std::replace(typed_menu.begin(), typed_menu.end(), ',', '.');
        typed_menu.erase(typed_menu.find_last_not_of(' ') + 1);
        EXPECT_EQ(typed_menu, GetParam().text);
    }
    const Typed typed(GetParam().text);
    const std::tuple<double, double, int> runs[] = {
        {0, 2, 10}, {0.3, 1.9, 7}, {2, -1, 5}, {-0x1.8p0, 0x1p1, 9}, {1, 2, 0}, {0, 1, -3}, {0.1, 3.7, 70001},
        {-1.5, 2.5, 300001}};
    for (const auto& [a, b, n] : runs)
        for (const RuleEntry& r : rule_table)
            EXPECT_EQ(bits(integrate(r.rule, typed.entry, a, b, n)), bits(integrate(r.rule, GetParam(), a, b, n)))
                << r.name << " " << a << " " << b << " " << n;
}
INSTANTIATE_TEST_SUITE_P(Catalogue, TypedMenuTexts, testing::ValuesIn(integrand_catalogue),
                         [](const testing::TestParamInfo<IntegrandEntry>& i) { return std::string("f") + i.param.label; });

} // namespace
