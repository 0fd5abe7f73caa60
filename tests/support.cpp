#include "support.h"

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

namespace {

// The timestamp of second `s` in the tests' zone, from the C library's
// breakdown and its C-locale names: nothing of the program's own.
std::string local_stamp(std::time_t s)
{
    char buf[64];
    std::strftime(buf, sizeof buf, "%a %b %d %H:%M:%S %Y", std::localtime(&s));
    return buf;
}

// "N*text" is text N times, and "*text" any number of times, as `got` has it.
std::string expected_records(const std::string& field, const std::string& got)
{
    const std::size_t star = field.find('*');
    if (star == std::string::npos || field.find_first_not_of("0123456789") != star)
        return field;
    const std::string one = field.substr(star + 1);
    std::string all;
    for (std::size_t k = star > 0 ? std::stoul(field) : got.size() / one.size(); k > 0; --k)
        all += one;
    return all;
}

} // namespace

std::vector<Case> load_cases(const std::string& name)
{
    std::ifstream in(std::string(CASES_DIR) + "/" + name, std::ios::binary);
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        for (const auto& [code, text] : {std::pair{R"(\\n)", "\n"}, {R"(\\t)", "\t"}, {R"(\\r)", "\r"},
                                         {R"(\\v)", "\v"}, {R"(\\f)", "\f"}, {R"(\\xff)", "\xff"}})
            line = std::regex_replace(line, std::regex(code), text);
        cases.emplace_back(1);
        for (char c : line) // the eighth field takes the rest of the line, bars and all
            c == '|' && cases.back().size() < 8 ? (void)cases.back().emplace_back() : (void)(cases.back().back() += c);
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

std::string expand_output(const std::string& tokens)
{
    static std::map<std::string, std::string> texts;
    for (const auto& t : texts.empty() ? load_cases("texts.txt") : std::vector<Case>())
        texts[t[0]] = t[1];
    std::string out;
    std::istringstream words(tokens);
    for (std::string t; words >> t;)
        out += texts.at(t.substr(0, 1)) + (t.size() > 2 ? t.substr(2) + "\n" : "");
    return out;
}

fs::path fresh_folder()
{
    static std::random_device random;
    static std::vector<fs::path> made; // removed if every test passed, else kept to look into
    if (made.empty())
        std::atexit([] {
            for (const fs::path& p : made)
                testing::UnitTest::GetInstance()->Passed() ? (void)fs::remove_all(p) : (void)0;
        });
    fs::path p;
    do
        p = fs::temp_directory_path() / ("integrate-test-" + std::to_string(random()));
    while (!fs::create_directory(p)); // false: it was there already
    made.push_back(p);
    return p;
}

Span measure(const std::function<void()>& run)
{
    const auto t0 = std::chrono::steady_clock::now();
    const std::time_t first = std::time(nullptr);
    run();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    return Span{first, std::time(nullptr), (us.count() + 999) / 1000};
}

std::string checked_records(const std::string& appended, const Span& span, std::vector<double>* durations)
{
    static const std::regex stamp("\n ([A-Z][a-z]{2} [A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4})\n"
                                  " Trvanie: (\\d+\\.\\d{3}0) sek\\.\n");
    for (std::sregex_iterator m(appended.begin(), appended.end(), stamp), end; m != end; ++m) {
        const long long ms = std::llround(std::stod((*m)[2]) * 1000); // whole ms by the pattern
        bool within = false; // and taken when the rule was done, not when it began
        for (std::time_t s = span.first + ms / 1000; s <= span.last; ++s)
            within = within || local_stamp(s) == (*m)[1].str();
        EXPECT_TRUE(within) << (*m)[1] << " is no local time of the run after its rule, " << local_stamp(span.first)
                            << " to " << local_stamp(span.last);
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
            continue;
        EXPECT_EQ(status, c[6].empty() ? 0 : std::stoi(c[6]));
        EXPECT_EQ(read_text(dir / "out.txt"), expand_output(c[2]));
        EXPECT_TRUE(std::regex_match(read_text(dir / "err.txt"), std::regex(c[5]))) << read_file(dir / "err.txt");
        const std::string file = fs::is_regular_file(log) ? read_text(log) : "";
        const std::size_t before = file.compare(0, c[4].size(), c[4]) == 0 ? c[4].size() : 0;
        const std::string got = file.substr(0, before) + checked_records(file.substr(before), span);
        EXPECT_EQ(got, expected_records(c[3], got));
#ifdef _WIN32
        EXPECT_EQ(std::regex_replace(read_file(log), std::regex("\r\n"), "").find('\n'), std::string::npos) << "CR LF";
#endif
    }
}
