#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <regex>
#include <sstream>

#include "engine.h"
#include "progress_line.h"
#include "support.h"

namespace {

bool same(double got, double expected) { return std::isnan(expected) ? std::isnan(got) : bits(got) == bits(expected); }
double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The rows of numeric.txt with this many words, split.
std::vector<Row> numeric_rows(std::size_t words)
{
    std::vector<Row> rows;
    for (const Row& line : load_rows("numeric.txt")) {
        std::istringstream in(line[0]);
        rows.emplace_back(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
        if (rows.back().size() != words)
            rows.pop_back();
    }
    return rows;
}

std::string row_name(const testing::TestParamInfo<Row>& i)
{
    std::string name = "f" + i.param[0];
    for (std::size_t k = 1; k + 1 < i.param.size() && k < 4; ++k)
        name += "_" + i.param[k];
    return test_name(name);
}

// key x f(x)
class Integrands : public testing::TestWithParam<Row> {};
TEST_P(Integrands, ValueBitForBit)
{
    EXPECT_TRUE(same(select_integrand(GetParam()[0][0]).f(number(GetParam()[1])), number(GetParam()[2])));
}
INSTANTIATE_TEST_SUITE_P(Rows, Integrands, testing::ValuesIn(numeric_rows(3)), row_name);

// key a b n, then the results of the rules `keys`: the plain rules and
// integrate() alike.
void expect_results(const Row& r, const std::string& keys)
{
    const IntegrandEntry& e = select_integrand(r[0][0]);
    const int n = std::atoi(r[3].c_str());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const RuleEntry& rule = *rule_with_key(keys[k]);
        EXPECT_TRUE(same(rule.plain(number(r[1]), number(r[2]), n, e.f), number(r[4 + k]))) << rule.name << " (plain)";
        EXPECT_TRUE(same(integrate(rule.rule, e, number(r[1]), number(r[2]), n), number(r[4 + k]))) << rule.name;
    }
}

// The dialogue's rules s, o and l.
class Rules : public testing::TestWithParam<Row> {};
TEST_P(Rules, ResultsBitForBit) { expect_results(GetParam(), "sol"); }
INSTANTIATE_TEST_SUITE_P(Rows, Rules, testing::ValuesIn(numeric_rows(7)), row_name);

// The rules m and p, which the dialogue does not have.
class CommandLineRules : public testing::TestWithParam<Row> {};
TEST_P(CommandLineRules, ResultsBitForBit) { expect_results(GetParam(), "mp"); }
INSTANTIATE_TEST_SUITE_P(Rows, CommandLineRules, testing::ValuesIn(numeric_rows(6)), row_name);

// Every build of the engine against the plain rule, the integrand called
// through a pointer chosen at run time; each build with its progress shown
// from the start, around a chunk of points too. None may change a bit.
class Engine : public testing::TestWithParam<IntegrandEntry> {};
TEST_P(Engine, EveryBuildMatchesThePlainRuleBitForBit)
{
    std::size_t k = 0;
    while (integrand_catalogue[k].f != GetParam().f)
        ++k;
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> end(-3.0, 3.0);
    std::vector<std::tuple<double, double, int>> v = {{1, 1, 17}, {2, -1, 33}, {0, 4, 40}, {-0.0, 0, 5}, {1, 2, -7}};
    for (int n = -3; n <= 70; ++n) // around the block sizes
        v.emplace_back(end(rng), end(rng), n);
    for (int i = 0; i < 150; ++i)
        v.emplace_back(end(rng), end(rng), static_cast<int>(rng() % 3000));
    if (INTEGRATE_EMULATED == 0)
        for (int n : {engine::chunk - 1, engine::chunk, engine::chunk + 1, 2 * engine::chunk - 1, 2 * engine::chunk + 2})
            v.emplace_back(0.3, 1.9, n);
    const fs::path screen = fresh_folder() / "screen";
    std::FILE* to = std::fopen(screen.string().c_str(), "wb");
    volatile Integrand chosen = integrand_catalogue[k].f;
    for (const auto& [a, b, n] : v)
        for (const RuleEntry& r : rule_table) {
            const std::uint64_t plain = bits(r.plain(a, b, n, chosen));
            ASSERT_EQ(bits(integrate(r.rule, integrand_catalogue[k], a, b, n)), plain) << r.name << " " << a << " " << b << " " << n;
            for (engine::Width width : {engine::Width::widest, engine::Width::up_to_avx2}) {
                if (width == engine::Width::up_to_avx2 && n >= engine::chunk - 1)
                    continue; // a chunk's edge is the same code in either build
                ProgressLine line{to, 0};
                ASSERT_EQ(bits(engine::integrate_with(width, r.rule, k, a, b, n, progress_on(line))), plain) << r.name << " " << n;
                erase_progress(line);
            }
        }
    // Shared out with threads forced on: one block and a few, a last block
    // cut short, the ring full, and n on both sides of a threshold.
    const int block = engine::Ring::block;
    const int full = engine::Ring::slots * block;
    for (const auto& [workers, threshold] : {std::pair{1, 0}, std::pair{3, 0}, std::pair{1, 5000}})
        for (int n : {1, 2, block - 1, block, block + 1, 2 * block + 2, 4 * block, full + 3, 3 * full + 1, 4999, 5000})
            for (const RuleEntry& r : rule_table) {
                ProgressLine line{to, 0};
                ASSERT_EQ(bits(engine::integrate_shared(engine::Width::widest, {workers, threshold}, r.rule, k, 0.3, 1.9,
                                                        n, progress_on(line))),
                          bits(r.plain(0.3, 1.9, n, chosen)))
                    << r.name << " " << n << " with " << workers << " threads";
                erase_progress(line);
            }
    std::fclose(to);
    const std::string lines = std::regex_replace(read_file(screen), std::regex("\r Pocitam\\.\\.\\. (\\d|[1-9]\\d|100) %"), "L");
    EXPECT_EQ(std::regex_replace(lines, std::regex("L+\r +\r"), ""), "") << "each line erased in the end";
    EXPECT_NE(read_file(screen).find(" 100 %"), std::string::npos) << "a run of one chunk shows its end at once";
}
INSTANTIATE_TEST_SUITE_P(Catalogue, Engine, testing::ValuesIn(integrand_catalogue),
                         [](const testing::TestParamInfo<IntegrandEntry>& i) { return std::string("f") + i.param.label; });

// h = 1 exactly: every panel adds 1 + 4 + 1, so 2^30 panels give 2^31.
TEST(Engine, SimpsonAtTheLargestNWorksOnTwoToThe31Subintervals)
{
    EXPECT_EQ(engine::simpson(0.0, 0x1p31, INT_MAX, [](double) { return 1.0; }, engine::Alone{}), 0x1p31);
}

double one(double) { return 1.0; }

// Outside the catalogue, under a key of its own or of a catalogued integrand.
TEST(Integrate, AnEntryOutsideTheCatalogueIntegratesItsOwnFunction)
{
    for (const IntegrandEntry& own : {IntegrandEntry{'z', 'Z', nullptr, "1", one, {}},
                                      IntegrandEntry{'5', '5', nullptr, "1", one, {}}})
        for (const RuleEntry& r : rule_table) {
            EXPECT_EQ(bits(integrate(r.rule, own, 0.0, 1.0, 8)), bits(r.plain(0.0, 1.0, 8, one))) << r.name;
            EXPECT_EQ(integrate(r.rule, own, 0.0, 1.0, 8), 1.0) << r.name;
        }
}

} // namespace
