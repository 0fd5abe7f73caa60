// The built program, started as a user starts it, in a folder of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "support.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Through the emulator where the program is built for another processor.
const std::string program = INTEGRATE_EMULATOR "\"" + fs::absolute(INTEGRATE_EXE).string() + "\"";
const bool emulated = *INTEGRATE_EMULATOR != '\0';

// `command` run by the system's shell in `dir`, PROG standing for the
// program; its status as a shell gives it (128 + the signal that ended it).
int run_in(const fs::path& dir, std::string command)
{
    for (std::size_t at; (at = command.find("PROG")) != std::string::npos;)
        command.replace(at, 4, program);
#ifdef _WIN32
    return std::system(("cd /d \"" + dir.string() + "\" && " + command).c_str());
#else
    setenv("INTEGRATE_TEST_COMMAND", command.c_str(), 1); // a hang fails the case after two minutes
    const int w = std::system(("cd '" + dir.string() + "' && timeout -k 5 120 sh -c \"$INTEGRATE_TEST_COMMAND\"").c_str());
    return WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
#endif
}

TEST(Program, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases("dialogue.txt", [](const fs::path& dir, const Case& c) {
        return run_in(dir, c[7].empty() ? "PROG < in.txt > out.txt 2> err.txt" : c[7]);
    });
}

TEST(Program, UnderHostileConditions)
{
#ifdef _WIN32
    GTEST_SKIP() << "the conditions are made by the POSIX shell";
#else
    check_dialogue_cases("conditions.txt", [](const fs::path& dir, const Case& c) {
        if (!INTEGRATE_MEMORY_LIMITS && c[7].find("ulimit -v") != std::string::npos)
            return run_in(dir, "echo the memory limit would stop the sanitizer or the emulator > err.txt; exit 77");
        return run_in(dir, c[7]);
    });
#endif
}

#ifndef _WIN32
// The program with its standard input and output on pipes of the test's, as
// a person at a terminal drives it; standard error goes to err.txt.
struct Child { pid_t pid; int keys, screen; };

Child start(const fs::path& dir, int input_flags = 0, const std::string& redirections = "")
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        ADD_FAILURE() << "no pipes";
    fcntl(in[0], F_SETFL, fcntl(in[0], F_GETFL) | input_flags);
    const std::string command = "cd '" + dir.string() + "' && exec " + program + " 2> err.txt " + redirections;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0), dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]), close(out[1]);
    return Child{pid, in[1], out[0]};
}

// The next `size` bytes the program shows, or what came before it ended or
// a minute passed: a prompt left unflushed never comes.
std::string shown(const Child& c, std::size_t size)
{
    std::string got;
    char buf[4096];
    pollfd p{c.screen, POLLIN, 0};
    for (ssize_t r = 1; got.size() < size && r > 0 && poll(&p, 1, 60000) == 1;)
        if ((r = read(c.screen, buf, std::min(sizeof buf, size - got.size()))) > 0)
            got.append(buf, static_cast<std::size_t>(r));
    return got;
}

void type(const Child& c, const std::string& keys)
{
    EXPECT_EQ(write(c.keys, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

// Ends its input, takes what it still shows, and returns its status.
int finish(const Child& c, const std::string& rest = "")
{
    close(c.keys);
    EXPECT_EQ(shown(c, rest.size() + 1), rest) << "and nothing more";
    close(c.screen);
    int w = 0;
    waitpid(c.pid, &w, 0);
    return WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
}
#endif

// Each step's keys are typed only once the program shows all that answers
// the step before: a prompt it does not flush before a read hangs the step.
// Standard input also left non-blocking, as some launchers leave it.
TEST(Program, ShowsEachPromptBeforeItReadsOverAPipe)
{
#ifdef _WIN32
    GTEST_SKIP() << "drives the program over pipes with fork and poll, which are POSIX";
#else
    for (int flags : {0, O_NONBLOCK}) {
        const Child c = start(fresh_folder(), flags);
        for (const Case& step : load_cases("conversation.txt")) {
            if (flags != 0) // the program waits in its read first: the input says "not yet"
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            type(c, step[0]);
            const std::string expected = expand_output(step[1]);
            ASSERT_EQ(shown(c, expected.size()), expected) << "after typing \"" << step[0] << "\", flags " << flags;
        }
        EXPECT_EQ(finish(c), 0);
    }
#endif
}

// A run that lasts: its duration is no longer zero, and no longer than the
// run. With standard error on a terminal (script(1) makes one) a progress
// line shows, counts up and is erased before the result line, and standard
// output is byte for byte what the same keys give without a terminal.
TEST(Program, ALongRunShowsHowFarItIsOnATerminal)
{
    const auto dir = fresh_folder();
    // sqrt(sin x) costs some 10 ns a point natively: seconds of work, under emulation too
    write_file(dir / "in.txt", emulated ? "a\n0 2 20000000\ns\nq\nw\n" : "a\n0 2 200000000\ns\nq\nw\n");
    const Span span = measure([&] {
        EXPECT_EQ(run_in(dir, "PROG < in.txt > out.txt 2> err.txt"), 0);
#ifndef _WIN32
        EXPECT_EQ(run_in(dir, "script -qfec 'PROG < in.txt > shown.txt' /dev/null < /dev/null > screen.txt"), 0);
#endif
    });
    std::vector<double> durations;
    checked_records(read_text(dir / "vysledky.txt"), span, &durations);
    ASSERT_FALSE(durations.empty());
    EXPECT_GT(durations[0], 0.0);
#ifdef _WIN32
    GTEST_SKIP() << "no script(1) to make a terminal; the progress on a Windows console is checked by hand";
#else
    EXPECT_EQ(read_file(dir / "shown.txt"), read_file(dir / "out.txt"));
    EXPECT_EQ(read_file(dir / "err.txt"), "") << "no progress line where standard error is no terminal";
    const std::string screen = read_file(dir / "screen.txt");
    std::smatch m; // lines, then spaces over the last one
    ASSERT_TRUE(std::regex_match(screen, m, std::regex("(\r Pocitam\\.\\.\\. \\d+ %)*\r( *)\r|"))) << screen;
    EXPECT_EQ(m[2].length() + 1, m[1].length());
    int last = 0, lines = 0;
    const std::regex percent("(\\d+) %");
    for (std::sregex_iterator i(screen.begin(), screen.end(), percent), end; i != end; last = std::stoi((*i)[1]), ++i)
        EXPECT_LE(last, std::stoi((*i)[1])) << "counts up", ++lines;
    EXPECT_TRUE(durations.back() < 1.5 || last > 0) << "a run of " << durations.back() << " s showed nothing";
    EXPECT_LE(lines, 4 * durations.back() + 1) << "rewritten at most four times a second";
#endif
}

// While a copy runs, a second one in the same folder cannot open the file,
// says so and goes on without records.
TEST(Program, ASecondCopyCannotOpenTheFile)
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
