#include <gtest/gtest.h>

#include <sstream>

#include "support.h"

namespace {

const std::string& M = integrand_menu;
const std::string& V = values_prompt;
const std::string& R = rule_menu;

// The parts of each record that do not depend on the clock.
std::string records(const std::string& file)
{
    std::istringstream in(file);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.rfind(" Funkcia:", 0) == 0 || line.rfind(" Pouzita", 0) == 0)
            kept += line + "\n";
    return kept;
}

std::string record(const std::string& fn, const std::string& rule, const std::string& value)
{
    return " Funkcia: " + fn + " \n Pouzita metoda: " + rule + ", Vysledok aproximacie= " + value + "\n";
}

struct Case {
    const char* name;
    std::string input;
    std::string out;
    std::string records;
};

std::string fa_simpson()
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15f", simpson_rule(0.0, 1.0, 4, fA));
    return buf;
}

const std::string f5_0_2_10 = "f5, a = 0.00, b= 2.00, n= 10";

TEST(Dialogue, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    const Case cases[] = {
        {"one Simpson run", "5\n0 2 10\ns\nq\nw\n", M + V + R + simpson_line("8.400426666666670") + M,
         record(f5_0_2_10, "Simpsonova", "8.400426666666670")},
        {"three rules on one line, in order", "5\n0 2 10\nsol\nq\nw\n",
         M + V + R + simpson_line("8.400426666666670") + rectangle_line("6.906560000000002") +
             trapezoid_line("8.506560000000002") + M,
         record(f5_0_2_10, "Simpsonova", "8.400426666666670") +
             record(f5_0_2_10, "Obdlznikova", "6.906560000000002") +
             record(f5_0_2_10, "Lichobeznikova", "8.506560000000002")},
        {"a rule key after the numbers on their line", "5\n0 2 10 s\nq\nw\n",
         M + V + R + simpson_line("8.400426666666670") + M, record(f5_0_2_10, "Simpsonova", "8.400426666666670")},
        {"50 2 10 at the menu is key 5, then 0 2 10", "50 2 10\ns\nq\nw\n",
         M + V + R + simpson_line("8.400426666666670") + M, record(f5_0_2_10, "Simpsonova", "8.400426666666670")},
        {"q at the integrand menu runs no rule", "q\n0 2 10\nw\n", M + V + R + M, ""},
        {"q at the values prompt", "5\nq\nw\n", M + V + R + M, ""},
        {"q5: the 5 is discarded, the newline selects f1", "5\n0 2 10\nq5\n1 0 4\no\nq\nw\n",
         M + V + R + M + V + R + rectangle_line("0.578125000000000") + M,
         record("f1, a = 1.00, b= 0.00, n= 4", "Obdlznikova", "0.578125000000000")},
        {"a selects sqrt(sin x)", "a\n0 1 4\ns\nq\nw\n", M + V + R + simpson_line(fa_simpson()) + M,
         record("fA, a = 0.00, b= 1.00, n= 4", "Simpsonova", fa_simpson())},
        {"upper case is not a key", "W\n0 2 10\nSOLQs\nq\nA\no\nq\nw\n",
         M + V + R + simpson_line("8.000000000000002") + M + V + R + rectangle_line("5.880000000000003") + M,
         record("f1, a = 0.00, b= 2.00, n= 10", "Simpsonova", "8.000000000000002") +
             record("f1, a = 0.00, b= 2.00, n= 10", "Obdlznikova", "5.880000000000003")},
        {"a decimal comma: b and n keep their values", "5\n1 3 5\nq\n5\n2,5 3 10\nl\nq\nw\n",
         M + V + R + M + V + R + trapezoid_line("43.453280000000007") + M,
         record("f5, a = 2.00, b= 3.00, n= 5", "Lichobeznikova", "43.453280000000007")},
        {"numbers over several lines", "5\n0\n2\n\n10\ns\nq\nw\n", M + V + R + simpson_line("8.400426666666670") + M,
         record(f5_0_2_10, "Simpsonova", "8.400426666666670")},
        {"values kept for the next integrand", "5\n0 2 10\nq\n1\nx\nl\nq\nw\n",
         M + V + R + M + V + R + trapezoid_line("8.080000000000002") + M,
         record("f1, a = 0.00, b= 2.00, n= 10", "Lichobeznikova", "8.080000000000002")},
        {"byte FF at both menus", "\xff\n0 2 10\n\xffs\xffq\nw\n", M + V + R + simpson_line("8.000000000000002") + M,
         record("f1, a = 0.00, b= 2.00, n= 10", "Simpsonova", "8.000000000000002")},
        {"n as read, not as raised", "5\n0 1 3\ns\nq\nw\n", M + V + R + simpson_line("1.200520833333333") + M,
         record("f5, a = 0.00, b= 1.00, n= 3", "Simpsonova", "1.200520833333333")},
        {"end of input at the integrand choice", "", M, ""},
        {"end of input inside the numbers", "5\n0 2", M + V + R, ""},
        {"end of input at a rule key", "5\n0 2 10\ns", M + V + R + simpson_line("8.400426666666670"),
         record(f5_0_2_10, "Simpsonova", "8.400426666666670")},
        {"end of input at the discarded character", "5\n0 2 10\nq", M + V + R, ""},
        {"end of input after a whole pass", "5\n0 2 10\nq\n", M + V + R + M, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto dir = fresh_folder("dialogue");
        const Session s = run_session(c.input, dir / "vysledky.txt");
        EXPECT_EQ(s.status, 0);
        EXPECT_EQ(s.out, c.out);
        EXPECT_EQ(s.err, "");
        EXPECT_EQ(records(read_file(dir / "vysledky.txt")), c.records);
        std::filesystem::remove_all(dir);
    }
}

} // namespace
