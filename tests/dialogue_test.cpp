#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

namespace {

// The dialogue in-process on `dir`/in.txt, as main() runs it on the console.
int run_in(const fs::path& dir)
{
    auto open = [&](const char* name, const char* mode) { return std::fopen((dir / name).string().c_str(), mode); };
    std::FILE *in = open("in.txt", "rb"), *out = open("out.txt", "wb"), *err = open("err.txt", "wb");
    ResultsLog res = open_results_log((dir / "vysledky.txt").string().c_str(), err);
    const int status = run_dialogue(in, out, err, res);
    close_results_log(res);
    for (std::FILE* f : {in, out, err})
        std::fclose(f);
    return status;
}

TEST(Dialogue, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases("dialogue.txt", [](const fs::path& dir, const Case&) { return run_in(dir); });
}

// f0 under Simpson's rule on 3*10^7 subintervals takes milliseconds anywhere.
TEST(Dialogue, ALongRunRecordsADurationWithinTheRun)
{
    const auto dir = fresh_folder();
    write_file(dir / "in.txt", "0\n0 2 30000000\ns\nq\nw\n");
    const Span span = measure([&] { EXPECT_EQ(run_in(dir), 0); });
    std::vector<double> durations;
    EXPECT_EQ(checked_records(read_file(dir / "vysledky.txt"), span, &durations),
              "\n#\n Funkcia: f0, a = 0.00, b= 2.00, n= 30000000 \n Pouzita metoda: Simpsonova, Vysledok aproximacie= "
              "15.917460317458470\n");
    ASSERT_EQ(durations.size(), 1u);
    EXPECT_GT(durations[0], 0.0);
}

// Fields: typed|a b n after the read, from 9 8 7|what is left for the rule loop
TEST(NumericRead, ConvertsLikeScanfAndLeavesWhatItCannotUse)
{
    for (const auto& c : load_cases("numeric_read.txt")) {
        std::FILE* in = std::tmpfile();
        std::fputs(c[0].c_str(), in);
        std::rewind(in);
        ConsoleInput input{in, stdout, stderr};
        double a = 9, b = 8;
        int n = 7;
        read_numbers(input, a, b, n);
        char got[128]; // a NaN as nan: its sign is the C library's own
        std::snprintf(got, sizeof got, "%.17g %.17g %d|", std::isnan(a) ? NAN : a, b, n);
        std::string rest;
        for (int ch; (ch = read_char(input)) != EOF;)
            rest += static_cast<char>(ch);
        EXPECT_EQ(got + rest, c[1] + "|" + c[2]) << "typed: " << c[0];
        EXPECT_EQ(read_char(input), EOF) << "the end of input stays";
        std::fclose(in);
    }
}

// Fields: start|a character|how many times|end. The reader's memory is
// bounded, yet each number converts as strtod converts all of it.
TEST(NumericRead, NumbersOfAnyLengthConvertAsStrtodConvertsThem)
{
    for (const auto& c : load_cases("long_numbers.txt")) {
        const std::string number = c[0] + std::string(std::stoul(c[2]), c[1][0]) + c[3];
        std::FILE* in = std::tmpfile();
        std::fprintf(in, "%s 2 3", number.c_str());
        std::rewind(in);
        ConsoleInput input{in, stdout, stderr};
        double a = 9, b = 8;
        int n = 7;
        read_numbers(input, a, b, n);
        const double expected = std::strtod(number.c_str(), nullptr);
        EXPECT_TRUE(std::isnan(expected) ? std::isnan(a) : bits(a) == bits(expected)) << c[0] << "..." << c[3];
        EXPECT_TRUE(b == 2 && n == 3) << c[0] << "..." << c[3];
        std::fclose(in);
    }
}

// Fields: week day, month, day, year, h, m, s, duration, label, a, b, n, rule (0 to 2), result|the record
TEST(Record, LayoutWhateverTheDayAndTheSizeOfTheNumbers)
{
    for (const auto& c : load_cases("records.txt")) {
        std::tm t{};
        RunRecord r{};
        int rule = 0; // 0 Simpson, 1 rectangle, 2 trapezoid
        std::sscanf(c[0].c_str(), "%d %d %d %d %d %d %d %lf %c %lf %lf %d %d %lf", &t.tm_wday, &t.tm_mon, &t.tm_mday,
                    &t.tm_year, &t.tm_hour, &t.tm_min, &t.tm_sec, &r.duration, &r.label, &r.x0, &r.xn, &r.n, &rule,
                    &r.result);
        t.tm_year -= 1900, r.rule = static_cast<Rule>(rule);
        char buf[record_capacity];
        EXPECT_EQ(std::string(buf, format_record(buf, r, t)), c[1]);
    }
}

} // namespace
