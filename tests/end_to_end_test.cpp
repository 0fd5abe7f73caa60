// The built program, started as a user starts it, in a folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "support.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Through the emulator where the program is built for another processor.
std::string started(const char* exe) { return INTEGRATE_EMULATOR "\"" + fs::absolute(exe).string() + "\""; }
const std::string program = started(INTEGRATE_EXE);
const bool emulated = *INTEGRATE_EMULATOR != '\0';

// What each test may take in all; its commands are ended before that.
const auto test_start = std::chrono::steady_clock::now();
double test_seconds = INTEGRATE_TEST_SECONDS;

void replace_all(std::string& text, const std::string& word, const std::string& by)
{
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size()))
        text.replace(at, word.size(), by);
}

// `command` run by the system's shell in `dir`, PROG standing for the
// program, QUICK for its build that shows progress sooner, and the
// library that traces its calls, SHIM (empty where there is none); its status as
// a shell gives it (128 + the signal that ended it). On POSIX it runs in a
// process group of its own, which is ended when it is done, or when the
// test's time is nearly up: nothing it started outlives the test.
int run_in(const fs::path& dir, std::string command)
{
    replace_all(command, "PROG", program);
    replace_all(command, "QUICK", started(INTEGRATE_QUICK_EXE));
    replace_all(command, "SHIM", INTEGRATE_CALL_TRACE);
#ifdef _WIN32
    return std::system(("cd /d \"" + dir.string() + "\" && " + command).c_str());
#else
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(dir.c_str()) == 0)
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return -1;
    setpgid(pid, pid);
    const auto deadline = test_start + std::chrono::milliseconds(static_cast<long long>(test_seconds * 800));
    int w = 0;
    bool late = false;
    while (waitpid(pid, &w, WNOHANG) == 0) {
        late = std::chrono::steady_clock::now() > deadline;
        if (late) {
            kill(-pid, SIGKILL);
            waitpid(pid, &w, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(-pid, SIGKILL); // whatever it left behind in its group
    EXPECT_FALSE(late) << "still running when the test's time was nearly up, ended: " << command;
    if (WIFEXITED(w))
        return WEXITSTATUS(w);
    return 128 + WTERMSIG(w);
#endif
}

// The cases of dialogue.txt run everywhere; those of conditions.txt are
// made by the POSIX shell.
class Program : public testing::TestWithParam<Case> {};
TEST_P(Program, GivesExactlyTheseTextsAndRecords)
{
    const Case& c = GetParam();
    const std::string command = c.count("run") > 0 ? c.at("run") : "PROG < in.txt > out.txt 2> err.txt";
#ifdef _WIN32
    if (c.at("file") == "conditions.txt" || c.count("posix") > 0)
        GTEST_SKIP() << "made by the POSIX shell";
#endif
    if (!INTEGRATE_MEMORY_LIMITS && command.find("ulimit -v") != std::string::npos)
        GTEST_SKIP() << "a memory limit would stop the sanitizer or the emulator";
    check_dialogue_case(c, [&](const fs::path& dir) { return run_in(dir, command); });
}
CASES_OF(Keys, Program, "dialogue.txt");
CASES_OF(Conditions, Program, "conditions.txt");
CASES_OF(CommandLine, Program, "command_line.txt");

// Every integrand and rule from the command line, against the dialogue on
// the same values: odd n, a > b, n <= 0, negative and hexadecimal ends.
TEST(CommandLine, RunsAndRecordsAsTheDialogueDoes)
{
    const char* const values[][3] = {{"0.3", "1.9", "7"}, {"2", "-1", "5"}, {"-0x1.8p0", "0x1p1", "9"},
                                     {"1", "2", "0"},     {"0", "1", "-3"}, {"-.5", "2.5", "1"}};
    std::string keys;
    std::string commands = "echo";
    for (char key : std::string("1234567890a"))
        for (const auto& v : values) {
            keys += std::string(1, key) + "\n" + v[0] + " " + v[1] + " " + v[2] + "\nsol\nq\n";
            commands += std::string(" && PROG ") + key + " " + v[0] + " " + v[1] + " " + v[2] + " sol >> shown.txt";
        }
    const fs::path dialogue = fresh_folder();
    const fs::path command_line = fresh_folder();
    write_file(dialogue / "in.txt", keys + "w\n");
    const Span span = measure([&] {
        EXPECT_EQ(run_in(dialogue, "PROG < in.txt > out.txt"), 0);
        EXPECT_EQ(run_in(command_line, commands), 0);
    });
    std::string expected; // the dialogue's results as the command line writes them, nan without a sign
    const std::string out = std::regex_replace(read_text(dialogue / "out.txt"), std::regex("-nan"), "nan");
    const std::regex result("metodou: (\\S+)\n");
    int k = 0;
    for (std::sregex_iterator m(out.begin(), out.end(), result), end; m != end; ++m)
        expected += std::string(1, "sol"[k++ % 3]) + " " + (*m)[1].str() + "\n";
    // n <= 0 adds its note to the command line's lines
    EXPECT_EQ(std::regex_replace(read_text(command_line / "shown.txt"), std::regex("pozn\\.:[^\n]*\n"), ""), expected);
    EXPECT_EQ(checked_records(read_text(command_line / "vysledky.txt"), span),
              checked_records(read_text(dialogue / "vysledky.txt"), span));
}

std::vector<std::string> csv_fields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] == '"' && quoted && k + 1 < line.size() && line[k + 1] == '"')
            fields.back() += line[++k];
        else if (line[k] == '"')
            quoted = !quoted;
        else if (line[k] == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += line[k];
    }
    return fields;
}

double value(const std::string& field) { return std::strtod(field.c_str(), nullptr); }

std::string printed(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// A value the table rounds once from the exact one and the CSV gives as the
// double nearest it: they differ by half a unit of the table's last digit
// at most (a tie such as -1.275 goes one way, its double the other). An
// empty field is "-" or a text with unknown digits ("?").
bool agrees(const std::string& in_table, const std::string& field)
{
    if (field.empty() || in_table == "-" || in_table.find('?') != std::string::npos)
        return field.empty() && (in_table == "-" || in_table.find('?') != std::string::npos);
    const std::size_t e = in_table.find('e');
    const std::size_t point = in_table.find('.');
    const int decimals = static_cast<int>(std::min(e, in_table.size()) - point - 1);
    const int exponent = e == std::string::npos ? 0 : std::atoi(in_table.c_str() + e + 1);
    return std::fabs(value(in_table) - value(field)) <= 0.51 * std::pow(10.0, exponent - decimals);
}

// The people's table, each rule's rows as cells cut at its header's right
// ends (every column is aligned right): key and n to the row's cells.
std::map<std::string, std::vector<std::string>> table_cells(const std::string& table)
{
    std::map<std::string, std::vector<std::string>> cells;
    std::istringstream lines(table);
    std::string key;
    std::vector<std::size_t> ends;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex(" metoda \\((.)\\), rad "))) {
            key = m[1];
            std::getline(lines, line);
            ends.clear();
            for (std::size_t at = 0; (at = line.find_first_not_of(' ', at)) != std::string::npos;) {
                at = std::min(line.find(' ', at), line.size());
                ends.push_back(at);
            }
            continue;
        }
        const std::size_t start = line.find_first_not_of(' ');
        if (key.empty() || start == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[start]))) {
            key.clear();
            continue;
        }
        std::vector<std::string> row;
        std::size_t from = 0;
        for (std::size_t end : ends) {
            std::string cell = from < line.size() ? line.substr(from, end - from) : "";
            cell.erase(0, cell.find_first_not_of(' '));
            row.push_back(cell);
            from = end;
        }
        cells[key + " " + row[0]] = row;
    }
    return cells;
}

// The table as CSV holds every value of the people's table of the same run:
// each row read back and printed as the table prints it, cell for cell.
// Every rule, the level of rounding (f7), errors of exactly 0 (f2), a
// typed function.
class Table : public testing::TestWithParam<const char*> {};
TEST_P(Table, AsCsvReadsBackAsThePeoplesTable)
{
    const char* run = GetParam();
    const fs::path dir = fresh_folder();
    ASSERT_EQ(run_in(dir, std::string("PROG -t ") + run + " > table.txt && PROG -t --csv " + run + " > table.csv"), 0);
    const std::string table = read_text(dir / "table.txt");
    const auto cells = table_cells(table);
    std::istringstream csv(read_text(dir / "table.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "funkcia,a,b,integral,metoda,n,vysledok,chyba,chyba_metody,zaokruhlenie,rad,odhad,"
                    "odhad_ku_chybe,extrapolacia,chyba_extrapolacie,uroven_zaokruhlenia");
    std::size_t rows = 0;
    std::vector<std::string> before;
    while (std::getline(csv, line)) {
        const std::vector<std::string> f = csv_fields(line);
        ASSERT_EQ(f.size(), 16U) << line;
        ++rows;
        const std::string first = table.substr(0, table.find('\n'));
        EXPECT_EQ(first.substr(0, first.find(':')), f[0] + " od " + f[1] + " po " + f[2]);
        EXPECT_TRUE(agrees(first.substr(first.find(':') + 11), f[3])) << first;
        ASSERT_EQ(cells.count(f[4] + " " + f[5]), 1U) << line;
        const std::vector<std::string>& c = cells.at(f[4] + " " + f[5]);
        EXPECT_EQ(c[1], printed("%.15f", value(f[6])));
        EXPECT_TRUE(agrees(c[2], f[7])) << line;
        EXPECT_TRUE(agrees(c[3], f[8])) << line;
        EXPECT_TRUE(agrees(c[4], f[9])) << line;
        std::string order;
        if (f[15] == "1")
            order = "zaokr.";
        else if (!f[10].empty() && (before.empty() || before[4] != f[4] || before[15] != "1"))
            order = printed("%.2f", value(f[10]));
        EXPECT_EQ(c[5], order) << line;
        before = f;
        std::string ratio = "-";
        if (f[11].empty())
            ratio = "";
        else if (!f[12].empty())
            ratio = printed("%.2f", value(f[12]));
        EXPECT_EQ(c[7], ratio) << line;
        if (!f[12].empty()) {
            EXPECT_EQ(value(f[12]), value(f[11]) / value(f[7])) << "the estimate over the error: " << line;
        }
        if (f[11].empty()) {
            EXPECT_EQ(c[6] + c[8] + f[12] + f[13] + f[14], "") << line;
            continue;
        }
        EXPECT_EQ(c[6], printed("%+.2e", value(f[11])));
        EXPECT_TRUE(agrees(c[8], f[14])) << line;
        EXPECT_EQ(value(f[13]), value(f[6]) - value(f[11])) << "the extrapolated value: " << line;
    }
    EXPECT_EQ(rows, cells.size());
}
INSTANTIATE_TEST_SUITE_P(Runs, Table,
                         testing::Values("5 0 2 64 smlop", "a 0 3.141592653589793 256 sol", "7 0.1 3 8192 sm",
                                         "2 0 3 8 sl", "-f \"sqrt(x)\" 0 1 32 mp"),
                         [](const testing::TestParamInfo<const char*>& i) { return test_name(i.param); });

// A run that lasts: its duration is no longer zero, and no longer than the
// run. With standard error on a terminal (script(1) makes one) a progress
// line shows, counts up and is erased before the result line, and standard
// output is byte for byte what the same keys give without a terminal.
TEST(LongRun, ShowsHowFarItIsOnATerminal)
{
    test_seconds = INTEGRATE_LONG_TEST_SECONDS;
    const auto dir = fresh_folder();
    // The build whose line shows from 0.1 s: sqrt(sin x) costs some 10 ns a
    // point natively, so a second or so of work, under emulation too.
    write_file(dir / "in.txt", emulated ? "a\n0 2 2000000\ns\nq\nw\n" : "a\n0 2 40000000\ns\nq\nw\n");
    const Span span = measure([&] {
        EXPECT_EQ(run_in(dir, "QUICK < in.txt > out.txt 2> err.txt"), 0);
#ifndef _WIN32
        EXPECT_EQ(run_in(dir, "script -qfec 'QUICK < in.txt > shown.txt' /dev/null < /dev/null > screen.txt"), 0);
        // Too narrow for the line, and a job in the background, which a
        // terminal with tostop would stop for writing: nothing shown.
        EXPECT_EQ(run_in(dir, "script -qfec 'stty cols 12; QUICK < in.txt > narrow.txt' /dev/null < /dev/null > narrow_screen.txt"), 0);
        write_file(dir / "behind.sh", "stty tostop\n" + started(INTEGRATE_QUICK_EXE) + " < in.txt > behind.txt &\nwait $!\n");
        EXPECT_EQ(run_in(dir, "script -qfec 'sh -m behind.sh' /dev/null < /dev/null > behind_screen.txt"), 0);
#endif
    });
    std::vector<double> durations;
    checked_records(read_text(dir / "vysledky.txt"), span, &durations);
    ASSERT_FALSE(durations.empty());
    EXPECT_GT(durations[0], 0.0);
#ifdef _WIN32
    GTEST_SKIP() << "no script(1) to make a terminal; the progress on a Windows console is checked by hand";
#else
    for (const char* shown : {"shown.txt", "narrow.txt", "behind.txt"})
        EXPECT_EQ(read_file(dir / shown), read_file(dir / "out.txt")) << shown;
    for (const char* screen : {"narrow_screen.txt", "behind_screen.txt"})
        EXPECT_EQ(read_file(dir / screen).find("Pocitam"), std::string::npos) << screen;
    EXPECT_EQ(read_file(dir / "err.txt"), "") << "no progress line where standard error is no terminal";
    const std::string screen = read_file(dir / "screen.txt");
    std::smatch m; // lines, then spaces over the last one
    ASSERT_TRUE(std::regex_match(screen, m, std::regex("(\r Pocitam\\.\\.\\. \\d+ %)*\r( *)\r|"))) << screen;
    EXPECT_EQ(m[2].length() + 1, m[1].length());
    int last = 0;
    int lines = 0;
    const std::regex percent("(\\d+) %");
    for (std::sregex_iterator i(screen.begin(), screen.end(), percent), end; i != end; ++i) {
        EXPECT_LE(last, std::stoi((*i)[1])) << "counts up";
        last = std::stoi((*i)[1]);
        ++lines;
    }
    // The records come in the order of the runs: the one on screen.txt is the second.
    ASSERT_EQ(durations.size(), 4u);
    const double on_screen = durations[1];
    EXPECT_TRUE(on_screen < 0.6 || last == 100) << "a run of " << on_screen << " s did not show its end";
    EXPECT_LE(lines, 4 * on_screen + 2) << "rewritten at most four times a second, and at its end";
#endif
}

// While a copy runs, a second one in the same folder cannot open the file,
// says so and goes on without records.
TEST(SecondCopy, CannotOpenTheFileOnWindows)
{
#ifndef _WIN32
    GTEST_SKIP() << "the file is held against other writers on Windows only";
#else
    const auto dir = fresh_folder();
    std::FILE* first = popen(("cd /d \"" + dir.string() + "\" && " + program + " > first.txt").c_str(), "w");
    for (int k = 0; k < 6000 && read_file(dir / "first.txt").find("koniec") == std::string::npos; ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    write_file(dir / "in.txt", "5\n0 2 10\ns\nq\nw\n");
    EXPECT_EQ(run_in(dir, "PROG < in.txt > out.txt 2> err.txt"), 0);
    EXPECT_EQ(read_text(dir / "out.txt"), expand_output("M V R S:8.400426666666670 M"));
    EXPECT_EQ(read_text(dir / "err.txt"),
              "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (Permission denied); vysledky sa nebudu zapisovat.\n");
    std::fputs("w\n", first);
    EXPECT_EQ(pclose(first), 0);
    EXPECT_EQ(read_file(dir / "vysledky.txt"), "");
#endif
}

} // namespace

namespace {

// The example blocks of a document: README's indented code, the manual
// page's .EX blocks with groff's escapes undone.
std::vector<std::vector<std::string>> example_blocks(const std::string& document)
{
    const bool manual = document.find(".TH ") != std::string::npos;
    std::vector<std::vector<std::string>> blocks(1);
    std::istringstream lines(document);
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
        if (manual) {
            for (const auto& [code, text] : {std::pair{"\\(aq", "'"}, {"\\en", "\\n"}, {"\\&", ""}, {"\\-", "-"}, {"\\(ha", "^"}})
                for (std::size_t at; (at = line.find(code)) != std::string::npos;)
                    line.replace(at, std::strlen(code), text);
            if (line == ".EX" || line == ".EE") {
                inside = line == ".EX";
                blocks.emplace_back();
                continue;
            }
        } else {
            inside = line.rfind("    ", 0) == 0;
            if (!inside && !blocks.back().empty())
                blocks.emplace_back();
            line = line.substr(std::min<std::size_t>(4, line.size()));
        }
        if (inside)
            blocks.back().push_back(line);
    }
    return blocks;
}

std::string screen_lines(const std::string& text)
{
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string expanded;
        for (char c : line)
            expanded += c == '\t' ? std::string(8 - expanded.size() % 8, ' ') : std::string(1, c);
        out += expanded.substr(0, expanded.find_last_not_of(' ') + 1) + "\n";
    }
    return std::regex_replace(out, std::regex(" [A-Z][a-z]{2} [A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n Trvanie: \\d+\\.\\d{4} sek\\."), " #");
}

// A screen with its typed lines marked "<-": the keys, and the screen as the
// program writes it (each typed text taken out, its line joined with the next).
std::pair<std::string, std::string> session(std::vector<std::string> block)
{
    std::string keys;
    std::string screen;
    for (std::size_t k = 0; k < block.size(); ++k) {
        std::string line = block[k];
        const std::size_t mark = line.find("<-");
        if (mark != std::string::npos) {
            line = line.substr(0, line.find_last_not_of(' ', mark - 1) + 1);
            const std::size_t typed = line.find_first_not_of(' ');
            keys += line.substr(typed) + "\n";
            line = line.substr(0, typed) + (k + 1 < block.size() ? block[++k] : "");
        }
        screen += line + "\n";
    }
    return {keys, screen_lines(screen)};
}

// Each command of the user's guide with what it shows, and README's session.
class Documents : public testing::TestWithParam<const char*> {};
TEST_P(Documents, ShowWhatTheProgramDoes)
{
#ifdef _WIN32
    GTEST_SKIP() << "the examples are POSIX shell commands";
#endif
    int examples = 0;
    for (const auto& block : example_blocks(read_file(fs::path(CASES_DIR) / "../.." / GetParam()))) {
        if (!block.empty() && block[0].find("<-") == std::string::npos && std::any_of(block.begin(), block.end(), [](const std::string& l) { return l.find("<-") != std::string::npos; })) {
            const auto [keys, screen] = session(block);
            const fs::path dir = fresh_folder();
            write_file(dir / "in.txt", keys);
            EXPECT_EQ(run_in(dir, "PROG < in.txt > out.txt"), 0);
            std::string got = screen_lines(read_file(dir / "out.txt"));
            const std::size_t skip = screen.find("...\n"); // the rest of a screen shown before
            if (skip != std::string::npos)
                got = got.substr(0, skip) + "...\n" + got.substr(got.size() - (screen.size() - skip - 4));
            EXPECT_EQ(got, screen) << GetParam() << ": the session";
            ++examples;
        }
        for (std::size_t k = 0; k < block.size(); ++k) {
            if (block[k].rfind("$ ", 0) != 0)
                continue;
            std::string shown;
            for (std::size_t j = k + 1; j < block.size() && block[j].rfind("$ ", 0) != 0; ++j)
                shown += block[j] + "\n";
            const std::string command = std::regex_replace(block[k].substr(2), std::regex("(^|\\| )integrate "), "$1PROG ");
            const fs::path dir = fresh_folder();
            run_in(dir, "{ " + command + "; } > shown.txt 2>&1");
            EXPECT_EQ(screen_lines(read_file(dir / "shown.txt")), screen_lines(shown)) << GetParam() << ": " << block[k];
            ++examples;
            // A picture the example draws is the one in doc/ that README
            // shows; INTEGRATE_UPDATE_PICTURES=1 puts the new one there.
            std::smatch svg;
            if (!std::regex_search(command, svg, std::regex("--svg[ =](\\S+)")))
                continue;
            const fs::path kept = fs::path(CASES_DIR) / "../../doc" / svg[1].str();
            if (std::getenv("INTEGRATE_UPDATE_PICTURES") != nullptr)
                write_file(kept, read_file(dir / svg[1].str()));
            EXPECT_EQ(read_file(dir / svg[1].str()), read_file(kept)) << svg[1] << " drifted from doc/";
        }
    }
    EXPECT_GT(examples, 0);
}
INSTANTIATE_TEST_SUITE_P(UserGuide, Documents, testing::Values("README.md", "doc/integrate.1"),
                         [](const testing::TestParamInfo<const char*>& i) { return test_name(i.param); });

} // namespace
