#include "support.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> v(1);
    for (char c : s)
        c == sep ? v.emplace_back() : (v.back() += c);
    return v;
}

// \n, \t and \xff; any other backslash stays, for the regular expressions.
std::string unescape(const std::string& s)
{
    const std::string lf = std::regex_replace(s, std::regex(R"(\\n)"), "\n");
    return std::regex_replace(std::regex_replace(lf, std::regex(R"(\\t)"), "\t"), std::regex(R"(\\xff)"), "\xff");
}

} // namespace

std::vector<std::vector<std::string>> load_cases(const std::string& name)
{
    std::ifstream in(std::string(CASES_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<std::string>> cases;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') {
            cases.push_back(split(unescape(line), '|'));
            cases.back().resize(std::max<std::size_t>(cases.back().size(), 6));
        }
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
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    const auto p = fs::temp_directory_path() / (std::string("integrate-") + t->test_suite_name() + t->name());
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

std::string masked(const std::string& file)
{
    static const std::regex stamp("\n [A-Z][a-z]{2} [A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n"
                                  " Trvanie: \\d+\\.\\d{3}0 sek\\.\n");
    return std::regex_replace(file, stamp, "\n#\n");
}

std::string expand_output(const std::string& tokens)
{
    static std::map<std::string, std::string> texts;
    for (const auto& t : texts.empty() ? load_cases("texts.txt") : std::vector<std::vector<std::string>>())
        texts[t[0]] = t[1];
    std::string out;
    for (const std::string& t : split(tokens, ' '))
        out += t.empty() ? "" : texts.at(t.substr(0, 1)) + (t.size() > 2 ? t.substr(2) + "\n" : "");
    return out;
}

// Fields: name|keystrokes|output|results file after|results file before
// (folder, full, readonly, or its content)|standard error.
void check_dialogue_cases(const std::function<int(const fs::path&)>& run)
{
    for (const auto& c : load_cases("dialogue.txt")) {
        SCOPED_TRACE(c[0]);
        const auto dir = fresh_folder(), log = dir / "vysledky.txt";
#ifdef _WIN32
        const char* skip = c[4] == "full" || c[4] == "readonly" ? "no /dev/full, no POSIX modes on Windows" : "";
#else
        const char* skip = c[4] == "readonly" && geteuid() == 0 ? "running as root, which writes any file" : "";
#endif
        if (*skip != '\0' && std::printf("skipped, %s: %s\n", skip, c[0].c_str()) > 0)
            continue;
        if (c[4] == "folder" || c[4] == "full")
            c[4] == "folder" ? (void)fs::create_directory(log) : fs::create_symlink("/dev/full", log);
        else
            std::ofstream(log) << c[4]; // earlier records, in text mode
        if (c[4] == "readonly")
            fs::permissions(log, fs::perms::owner_read);
        write_file(dir / "in.txt", c[1]);
        EXPECT_EQ(run(dir), 0);
        EXPECT_EQ(read_text(dir / "out.txt"), expand_output(c[2]));
        EXPECT_TRUE(std::regex_match(read_text(dir / "err.txt"), std::regex(c[5]))) << read_file(dir / "err.txt");
        EXPECT_EQ(fs::is_regular_file(log) ? masked(read_text(log)) : "", c[3]);
#ifdef _WIN32
        EXPECT_EQ(std::regex_replace(read_file(log), std::regex("\r\n"), "").find('\n'), std::string::npos) << "CR LF";
#endif
    }
}
