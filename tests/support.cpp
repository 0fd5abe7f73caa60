#include "support.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> v(1);
    for (char c : s)
        c == sep ? v.emplace_back() : (v.back() += c);
    return v;
}

// \n, \t, \r, \v, \f and \xff; any other backslash stays, for the regular expressions.
std::string unescape(std::string s)
{
    const std::pair<const char*, const char*> escapes[] = {
        {R"(\\n)", "\n"}, {R"(\\t)", "\t"}, {R"(\\r)", "\r"}, {R"(\\v)", "\v"}, {R"(\\f)", "\f"}, {R"(\\xff)", "\xff"}};
    for (const auto& [code, text] : escapes)
        s = std::regex_replace(s, std::regex(code), text);
    return s;
}

// Every test runs in one time zone with an odd offset, so that a timestamp in
// UTC, or in the machine's zone, shows; child processes inherit it.
constexpr std::time_t zone_offset = 5 * 3600 + 45 * 60;
const bool zone_set = [] {
#ifdef _WIN32
    _putenv_s("TZ", "XYZ-5:45");
    _tzset();
#else
    setenv("TZ", "XYZ-5:45", 1);
    tzset();
#endif
    return true;
}();

// The timestamp of second `s` in that zone, from the C library's UTC
// breakdown and its C-locale names: nothing of the program's own.
std::string local_stamp(std::time_t s)
{
    s += zone_offset;
    char buf[64];
    std::strftime(buf, sizeof buf, "%a %b %d %H:%M:%S %Y", std::gmtime(&s));
    return buf;
}

// "N*text" stands for text N times.
std::string repeated(const std::string& field)
{
    const std::size_t star = field.find('*');
    if (star == 0 || star == std::string::npos || field.find_first_not_of("0123456789") != star)
        return field;
    std::string out;
    for (int k = std::stoi(field); k > 0; --k)
        out += field.substr(star + 1);
    return out;
}

} // namespace

std::vector<Case> load_cases(const std::string& name)
{
    std::ifstream in(std::string(CASES_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') {
            cases.push_back(split(unescape(line), '|'));
            cases.back().resize(std::max<std::size_t>(cases.back().size(), 8));
        }
    EXPECT_FALSE(cases.empty()) << name;
    return cases;
}

std::string read_file(const fs::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

std::string read_text(const fs::path& p) { return std::regex_replace(read_file(p), std::regex("\r\n"), "\n"); }

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

fs::path fresh_folder()
{
    static const fs::path run = [] {
        std::random_device random;
        fs::path p;
        do
            p = fs::temp_directory_path() / ("integrate-tests-" + std::to_string(random()));
        while (!fs::create_directory(p)); // false: it was there already
        std::atexit([] {
            if (testing::UnitTest::GetInstance()->Passed())
                fs::remove_all(run);
        });
        return p;
    }();
    static int count = 0;
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path p = run / (std::string(t->test_suite_name()) + "." + t->name() + "." + std::to_string(++count));
    fs::create_directory(p);
    return p;
}

Span measure(const std::function<void()>& run)
{
    using namespace std::chrono;
    const auto t0 = steady_clock::now();
    const std::time_t first = std::time(nullptr);
    run();
    const std::time_t last = std::time(nullptr);
    const auto us = duration_cast<microseconds>(steady_clock::now() - t0).count();
    return Span{first, last, (us + 999) / 1000};
}

std::string checked_records(const std::string& appended, const Span& span, std::vector<double>* durations)
{
    static const std::regex stamp("\n ([A-Z][a-z]{2} [A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4})\n"
                                  " Trvanie: (\\d+\\.\\d{3}0) sek\\.\n");
    for (std::sregex_iterator m(appended.begin(), appended.end(), stamp), end; m != end; ++m) {
        bool within = false;
        for (std::time_t s = span.first; s <= span.last; ++s)
            within = within || local_stamp(s) == (*m)[1].str();
        EXPECT_TRUE(within) << (*m)[1] << " is not the local time of a second of the run, "
                            << local_stamp(span.first) << " to " << local_stamp(span.last);
        const long long ms = std::llround(std::stod((*m)[2]) * 1000); // whole ms by the pattern
        EXPECT_LE(ms, span.ms) << "a duration longer than the run";
        if (durations != nullptr)
            durations->push_back(ms / 1000.0);
    }
    return std::regex_replace(appended, stamp, "\n#\n");
}

void check_dialogue_cases(const std::string& table, const std::function<int(const fs::path&, const Case&)>& run)
{
    for (const Case& c : load_cases(table)) {
        SCOPED_TRACE(c[0]);
        const auto dir = fresh_folder(), log = dir / "vysledky.txt";
        if (!c[4].empty())
            std::ofstream(log) << c[4]; // earlier records, in text mode
        write_file(dir / "in.txt", c[1]);
        int status = -1;
        const Span span = measure([&] { status = run(dir, c); });
        if (status == 77 && std::printf("skipped, %s: %s", c[0].c_str(), read_file(dir / "err.txt").c_str()) > 0)
            continue; // the condition cannot be made here; its command says why
        EXPECT_EQ(status, c[6].empty() ? 0 : std::stoi(c[6]));
        EXPECT_EQ(read_text(dir / "out.txt"), expand_output(c[2]));
        EXPECT_TRUE(std::regex_match(read_text(dir / "err.txt"), std::regex(c[5]))) << read_file(dir / "err.txt");
        const std::string file = fs::is_regular_file(log) ? read_text(log) : "";
        const std::size_t before = file.compare(0, c[4].size(), c[4]) == 0 ? c[4].size() : 0;
        EXPECT_EQ(file.substr(0, before) + checked_records(file.substr(before), span), repeated(c[3]));
#ifdef _WIN32
        EXPECT_EQ(std::regex_replace(read_file(log), std::regex("\r\n"), "").find('\n'), std::string::npos) << "CR LF";
#endif
    }
}

std::string expand_output(const std::string& tokens)
{
    static std::map<std::string, std::string> texts;
    for (const auto& t : texts.empty() ? load_cases("texts.txt") : std::vector<Case>())
        texts[t[0]] = t[1];
    std::string out;
    for (const std::string& t : split(tokens, ' '))
        out += t.empty() ? "" : texts.at(t.substr(0, 1)) + (t.size() > 2 ? t.substr(2) + "\n" : "");
    return out;
}
