#include "support.h"

#include <algorithm>
#include <chrono>
#include <fstream>
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

// The escapes, then each {N*text}.
std::string unescaped(const std::string& line)
{
    static const std::string codes = "n\nt\tr\rv\vf\f";
    std::string out;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const std::size_t code = line[at] == '\\' && at + 1 < line.size() ? codes.find(line[at + 1]) : std::string::npos;
        const std::size_t star = line.find_first_not_of("0123456789", at + 1);
        const std::size_t close = line.find('}', at);
        if (line.compare(at, 4, "\\xff") == 0) {
            out += '\xff';
            at += 3;
        } else if (code != std::string::npos && code % 2 == 0) {
            out += codes[code + 1];
            ++at;
        } else if (line[at] == '{' && close != std::string::npos && star > at + 1 && star < close && line[star] == '*') {
            for (int k = std::atoi(line.c_str() + at + 1); k > 0; --k)
                out += unescaped(line.substr(star + 1, close - star - 1));
            at = close;
        } else {
            out += line[at];
        }
    }
    return out;
}

std::vector<std::string> lines_of(const std::string& file)
{
    std::ifstream in(std::string(CASES_DIR) + "/" + file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    EXPECT_FALSE(lines.empty()) << "no rows in " << file;
    return lines;
}

} // namespace

std::vector<Row> load_rows(const std::string& file)
{
    std::vector<Row> rows;
    for (const std::string& line : lines_of(file)) {
        std::istringstream fields(unescaped(line) + "|");
        rows.emplace_back();
        for (std::string field; std::getline(fields, field, '|');)
            rows.back().push_back(field);
    }
    return rows;
}

std::vector<Case> load_cases(const std::string& file)
{
    std::vector<Case> cases;
    std::string field;
    for (const std::string& line : lines_of(file)) {
        if (line[0] == '[') {
            cases.push_back(Case{{"name", line.substr(1, line.rfind(']') - 1)}, {"file", file}});
        } else if (line.rfind("  ", 0) == 0) {
            cases.back()[field] += "\n" + unescaped(line.substr(2));
        } else {
            field = line.substr(0, line.find(':'));
            cases.back()[field] = unescaped(line.substr(std::min(line.size(), field.size() + 2)));
        }
    }
    return cases;
}

std::string test_name(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return text;
}

std::string read_file(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string read_text(const fs::path& p) { return std::regex_replace(read_file(p), std::regex("\r\n"), "\n"); }

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string expand_output(const std::string& tokens)
{
    static std::map<std::string, std::string> texts;
    for (const Row& t : texts.empty() ? load_rows("texts.txt") : std::vector<Row>())
        texts[t[0]] = t[1];
    std::string out;
    std::istringstream words(tokens);
    for (std::string t; words >> t;)
        out += texts.at(t.substr(0, 1)) + (t.size() > 2 ? t.substr(2) + "\n" : "");
    return out;
}

std::string expand_records(const std::string& records, const std::string& got)
{
    static const std::map<std::string, std::string> names = {{"s", "Simpsonova"}, {"o", "Obdlznikova"},
                                                            {"l", "Lichobeznikova"}, {"m", "Stredova"},
                                                            {"p", "Pravostranna"}};
    std::string all;
    std::istringstream list(records);
    for (std::string one; std::getline(list, one, ';');) {
        // "N*" or "*" before a record repeats it; a '*' further in is the
        // integrand's own (x^2*exp(-x)).
        std::size_t star = one.find_first_not_of("0123456789 ");
        if (star != std::string::npos && one[star] != '*')
            star = std::string::npos;
        std::istringstream words(one.substr(star + 1)); // npos + 1: all of it
        std::string f, a, b, n, rule, result;
        words >> f >> a >> b >> n >> rule >> result;
        const std::string text = "\n#\n Funkcia: " + f + ", a = " + a + ", b= " + b + ", n= " + n +
                                 " \n Pouzita metoda: " + names.at(rule) + ", Vysledok aproximacie= " + result + "\n";
        std::size_t times = 1;
        if (star != std::string::npos)
            times = star > 0 ? std::stoul(one) : std::max<std::size_t>(got.size() / text.size(), 1);
        for (; times > 0; --times)
            all += text;
    }
    return all;
}

fs::path fresh_folder()
{
    static std::mt19937_64 random(std::random_device{}());
    static std::vector<fs::path> made; // removed if every test passed, else kept to look into
    if (made.empty())
        std::atexit([] {
            for (const fs::path& p : made)
                if (testing::UnitTest::GetInstance()->Passed())
                    fs::remove_all(p);
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

void check_dialogue_case(Case c, const std::function<int(const fs::path&)>& run)
{
    const auto dir = fresh_folder();
    const auto log = dir / "vysledky.txt";
    if (!c["before"].empty())
        std::ofstream(log) << c["before"]; // earlier records, in text mode
    write_file(dir / "in.txt", c["keys"]);
    int status = -1;
    const Span span = measure([&] { status = run(dir); });
    if (status == 77)
        GTEST_SKIP() << read_file(dir / "err.txt");
    EXPECT_EQ(status, std::atoi(c["status"].c_str()));
    const bool literal = c.count("out") > 0;
    EXPECT_EQ(read_text(dir / "out.txt"), literal ? c["out"] : expand_output(c["shown"]));
    if (c["log"] == "none") {
        EXPECT_FALSE(fs::exists(log)) << "a results file, created or touched";
    }
    EXPECT_TRUE(std::regex_match(read_text(dir / "err.txt"), std::regex(c["stderr"]))) << read_file(dir / "err.txt");
    const std::string file = fs::is_regular_file(log) ? read_text(log) : "";
    const std::size_t kept = file.compare(0, c["before"].size(), c["before"]) == 0 ? c["before"].size() : 0;
    EXPECT_EQ(file.substr(0, kept), c["before"]) << "the earlier records kept";
    const std::string appended = checked_records(file.substr(kept), span);
    EXPECT_EQ(appended, expand_records(c["records"], appended));
#ifdef _WIN32
    EXPECT_EQ(std::regex_replace(read_file(log), std::regex("\r\n"), "").find('\n'), std::string::npos) << "CR LF";
#endif
}

Typed::Typed(const std::string& t) : text(expr::trimmed(t)), entry{}
{
    expr::ParseError error;
    EXPECT_TRUE(expr::parse(t, tree, error)) << t << " at " << error.at << ": " << error.what;
    program = std::make_unique<expr::Program>(tree);
    entry = IntegrandEntry{0, 0, nullptr, text.c_str(), nullptr, {}, &tree, program.get()};
}

const IntegrandEntry& entry_of(const std::string& key)
{
    static std::map<std::string, std::unique_ptr<Typed>> typed;
    if (key.size() == 1)
        return select_integrand(key[0]);
    std::unique_ptr<Typed>& t = typed[key];
    if (!t)
        t = std::make_unique<Typed>(key);
    return t->entry;
}
