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

// \n, \t and \xHH; any other backslash stays, for the regular expressions.
std::string unescape(const std::string& s)
{
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char next = i + 1 < s.size() && s[i] == '\\' ? s[i + 1] : '\0';
        if (next == 'n' || next == 't')
            r += next == 'n' ? '\n' : '\t', ++i;
        else if (next == 'x')
            r += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16)), i += 3;
        else
            r += s[i];
    }
    return r;
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

std::string read_file(const std::filesystem::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

void write_file(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::filesystem::path fresh_folder()
{
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    const auto p = std::filesystem::temp_directory_path() / (std::string("integrate-") + t->test_suite_name() + t->name());
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

std::string text(const std::string& s)
{
#ifdef _WIN32
    return std::regex_replace(s, std::regex("\r\n"), "\n");
#else
    return s;
#endif
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
void check_dialogue_cases(const std::function<int(const std::filesystem::path&)>& run)
{
    for (const auto& c : load_cases("dialogue.txt")) {
        SCOPED_TRACE(c[0]);
        const auto dir = fresh_folder(), log = dir / "vysledky.txt";
#ifdef _WIN32
        const char* skip = c[4] == "full" || c[4] == "readonly" ? "no /dev/full, no POSIX modes on Windows" : nullptr;
#else
        const char* skip = c[4] == "readonly" && geteuid() == 0 ? "running as root, which writes any file" : nullptr;
        if (c[4] == "full")
            std::filesystem::create_symlink("/dev/full", log);
#endif
        if (skip != nullptr) {
            std::printf("skipped, %s: %s\n", skip, c[0].c_str());
            continue;
        }
        if (c[4] == "folder")
            std::filesystem::create_directory(log);
        else if (c[4] != "full")
            std::ofstream(log) << c[4]; // earlier records, in text mode
        if (c[4] == "readonly")
            std::filesystem::permissions(log, std::filesystem::perms::owner_read);
        write_file(dir / "in.txt", c[1]);
        EXPECT_EQ(run(dir), 0);
        EXPECT_EQ(text(read_file(dir / "out.txt")), expand_output(c[2]));
        EXPECT_TRUE(std::regex_match(text(read_file(dir / "err.txt")), std::regex(c[5]))) << read_file(dir / "err.txt");
        const std::string file = std::filesystem::is_regular_file(log) ? read_file(log) : "";
#ifdef _WIN32
        EXPECT_EQ(file, std::regex_replace(text(file), std::regex("\n"), "\r\n")) << "a text file: CR LF";
#endif
        EXPECT_EQ(masked(text(file)), c[3]);
    }
}
