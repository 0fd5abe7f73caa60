// The built program on piped input, in a folder of its own.
#include <gtest/gtest.h>

#include "support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The program by its absolute path, started in `dir` with these redirections;
// 0 exactly when it ends with status 0, whatever the system.
int run_program(const std::filesystem::path& dir, const std::string& redirections)
{
    const std::string exe = std::filesystem::absolute(INTEGRATE_EXE).string();
#ifdef _WIN32
    const std::string cd = "cd /d \"";
#else
    const std::string cd = "cd \"";
#endif
    return std::system((cd + dir.string() + "\" && \"" + exe + "\" " + redirections).c_str());
}

TEST(Program, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases([](const std::filesystem::path& dir) {
        return run_program(dir, "< in.txt > out.txt 2> err.txt");
    });
}

#ifdef _WIN32
// The file is held without sharing while a copy runs: a second copy in the
// same folder cannot open it, says so, and goes on without records.
TEST(Program, ASecondCopyCannotOpenTheFile)
{
    const auto dir = fresh_folder();
    const std::string exe = std::filesystem::absolute(INTEGRATE_EXE).string();
    std::FILE* first = _popen(("cd /d \"" + dir.string() + "\" && \"" + exe + "\" > first.txt").c_str(), "w");
    ASSERT_NE(first, nullptr);
    while (read_file(dir / "first.txt").find("koniec") == std::string::npos) // its menu: the file is open
        Sleep(10);
    write_file(dir / "in.txt", "5\n0 2 10\ns\nq\nw\n");
    EXPECT_EQ(run_program(dir, "< in.txt > out.txt 2> err.txt"), 0);
    EXPECT_EQ(text(read_file(dir / "out.txt")), expand_output("M V R S:8.400426666666670 M"));
    EXPECT_EQ(text(read_file(dir / "err.txt")),
              "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (Permission denied); vysledky sa nebudu zapisovat.\n");
    std::fputs("w\n", first);
    EXPECT_EQ(_pclose(first), 0);
    EXPECT_EQ(read_file(dir / "vysledky.txt"), "");
}
#endif

// n records of the rectangle run of f5 on 0 2 10, whole, and nothing else.
[[maybe_unused]] std::string records(std::size_t n)
{
    std::string r;
    while (n-- > 0)
        r += "\n#\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: Obdlznikova, Vysledok aproximacie= 6.906560000000002\n";
    return r;
}

TEST(Program, AKilledProgramKeepsEveryRunItShowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGKILL, fork and pipes are POSIX";
#else
    const auto dir = fresh_folder();
    int in[2], out[2];
    ASSERT_EQ(pipe(in) | pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0), dup2(out[1], 1);
        if (chdir(dir.c_str()) == 0)
            execl(INTEGRATE_EXE, INTEGRATE_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]), close(out[1]);
    const std::string keys = "5\n0 2 10\noo\n", shown = expand_output("O:6.906560000000002");
    ASSERT_EQ(write(in[1], keys.data(), keys.size()), (ssize_t)keys.size()); // standard input stays open
    std::string seen;
    char buf[4096];
    for (ssize_t got; seen.find(shown + shown) == std::string::npos && (got = read(out[0], buf, sizeof buf)) > 0;)
        seen.append(buf, static_cast<std::size_t>(got));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(in[1]), close(out[0]);
    ASSERT_NE(seen.find(shown + shown), std::string::npos);
    EXPECT_EQ(masked(read_file(dir / "vysledky.txt")), records(2));
#endif
}

TEST(Program, TwoCopiesAppendingAtOnceTearNoRecord)
{
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a second copy cannot open the file at all";
#else
    const auto dir = fresh_folder();
    write_file(dir / "in.txt", "5\n0 2 10\n" + std::string(2000, 'o') + "\nq\nw\n");
    const std::string copy = std::string("'") + INTEGRATE_EXE + "' < in.txt > /dev/null & ";
    EXPECT_EQ(std::system(("cd '" + dir.string() + "' && { " + copy + copy + "wait; }").c_str()), 0);
    EXPECT_EQ(masked(read_file(dir / "vysledky.txt")), records(4000));
#endif
}

} // namespace
