#include <gtest/gtest.h>

#include <cfloat>

#include "support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

std::tm when(int year, int mon, int mday, int wday, int hour, int min, int sec)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = mon;
    t.tm_mday = mday;
    t.tm_wday = wday;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    return t;
}

std::string formatted(const RunRecord& r, const std::tm& t)
{
    char buf[record_capacity];
    const std::size_t len = format_record(buf, r, t);
    return std::string(buf, len);
}

struct RecordCase {
    const char* name;
    RunRecord record;
    std::tm local;
    std::string text;
};

TEST(Record, Layout)
{
    const RecordCase cases[] = {
        {"the Simpson run of f5 that lasted 15 ms",
         {0, 0.015, '5', 0, 2, 10, Rule::simpson, 0x1.0cd04b95b8f2dp+3},
         when(2026, 11, 5, 6, 23, 25, 27),
         "\n Sat Dec 05 23:25:27 2026\n Trvanie: 0.0150 sek.\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n"
         " Pouzita metoda: Simpsonova, Vysledok aproximacie= 8.400426666666670\n"},
        {"a Sunday in January, day 14, rectangle",
         {0, 1.234, '1', -1.005, 0.5, -3, Rule::rectangle, -0.0},
         when(2027, 0, 14, 0, 0, 0, 9),
         "\n Sun Jan 14 00:00:09 2027\n Trvanie: 1.2340 sek.\n Funkcia: f1, a = -1.00, b= 0.50, n= -3 \n"
         " Pouzita metoda: Obdlznikova, Vysledok aproximacie= -0.000000000000000\n"},
        {"the unlisted integrand, trapezoid, a Wednesday in October",
         {0, 0.0, 'A', 0, 1, 2147483647, Rule::trapezoid, 0.5},
         when(1999, 9, 31, 3, 12, 5, 59),
         "\n Wed Oct 31 12:05:59 1999\n Trvanie: 0.0000 sek.\n Funkcia: fA, a = 0.00, b= 1.00, n= 2147483647 \n"
         " Pouzita metoda: Lichobeznikova, Vysledok aproximacie= 0.500000000000000\n"},
    };
    for (const RecordCase& c : cases)
        EXPECT_EQ(formatted(c.record, c.local), c.text) << c.name;
}

TEST(Record, TheLargestNumbersFitWhole)
{
    const RunRecord r{0, 0.001, '0', 1e300, -DBL_MAX, -2147483647 - 1, Rule::simpson, -DBL_MAX};
    const std::string text = formatted(r, when(2026, 11, 5, 6, 23, 25, 27));
    const std::string a =
        "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864043704443"
        "832883878176942523235360430575644792184786706982848387200926575803737830233794788090059368953234970799945081"
        "119038967640880074652742780142494579258788820056842838115669472196386865459400540160.00";
    const std::string max =
        "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955863276687817154045895"
        "35143824642343213268894641827684675467035375169860499105765512820762454900903893289440758685084551339423045832"
        "36903222948165808559332123348274797826204144723168738177180919299881250404026184124858368";
    EXPECT_NE(text.find(" Funkcia: f0, a = " + a + ", b= -" + max + ".00, n= -2147483648 \n"), std::string::npos);
    const std::string last = " Pouzita metoda: Simpsonova, Vysledok aproximacie= -" + max + ".000000000000000\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_LT(text.size(), record_capacity);
}

TEST(ResultsFile, RecordsAreAppendedToEarlierContent)
{
    const auto dir = fresh_folder("log");
    const auto path = dir / "vysledky.txt";
    {
        std::FILE* f = std::fopen(path.string().c_str(), "wb");
        std::fputs("earlier\n", f);
        std::fclose(f);
    }
    ResultsLog res = open_results_log(path.string().c_str(), nullptr);
    const RunRecord r{0, 0.0, '2', 0, 1, 4, Rule::rectangle, 0.71875};
    append_record(res, r);
    append_record(res, r);
    close_results_log(res);
    const std::string file = read_file(path);
    EXPECT_EQ(file.rfind("earlier\n\n ", 0), 0u);
    EXPECT_EQ(file.size(), 8 + 2 * formatted(r, when(2026, 0, 1, 0, 0, 0, 0)).size());
    std::filesystem::remove_all(dir);
}

// A results file that cannot be used costs the records, never the dialogue.
TEST(ResultsFile, AFolderInTheWayGivesTheOpenWarning)
{
    const auto dir = fresh_folder("log");
    std::filesystem::create_directory(dir / "vysledky.txt");
    const Session s = run_session("5\n0 2 10\ns\nq\nw\n", dir / "vysledky.txt");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, integrand_menu + values_prompt + rule_menu + simpson_line("8.400426666666670") + integrand_menu);
    EXPECT_EQ(s.err.rfind("Upozornenie: subor vysledky.txt sa nepodarilo otvorit (", 0), 0u) << s.err;
    const std::string tail = "); vysledky sa nebudu zapisovat.\n";
    EXPECT_EQ(s.err.substr(s.err.size() - tail.size()), tail) << s.err;
    std::filesystem::remove_all(dir);
}

TEST(ResultsFile, AFailedWriteIsReportedOnce)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full, which Windows does not have";
#else
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "this system has no /dev/full";
    const auto dir = fresh_folder("log");
    std::filesystem::create_symlink("/dev/full", dir / "vysledky.txt");
    const Session s = run_session("5\n0 2 10\nsol\nq\nw\n", dir / "vysledky.txt");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, integrand_menu + values_prompt + rule_menu + simpson_line("8.400426666666670") +
                         rectangle_line("6.906560000000002") + trapezoid_line("8.506560000000002") +
                         integrand_menu);
    EXPECT_EQ(s.err, "Upozornenie: zapis do suboru vysledky.txt zlyhal (No space left on device).\n");
    std::filesystem::remove_all(dir);
#endif
}

TEST(ResultsFile, NoPermissionGivesTheOpenWarning)
{
#ifdef _WIN32
    GTEST_SKIP() << "file modes are POSIX";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root, which may write any file";
    const auto dir = fresh_folder("log");
    const auto path = dir / "vysledky.txt";
    std::fclose(std::fopen(path.string().c_str(), "w"));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    const Session s = run_session("w\n", path);
    EXPECT_EQ(s.err,
              "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (Permission denied); vysledky sa nebudu zapisovat.\n");
    EXPECT_EQ(s.out, integrand_menu);
    std::filesystem::remove_all(dir);
#endif
}

} // namespace
