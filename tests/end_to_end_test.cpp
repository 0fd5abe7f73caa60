// The built program on piped input, in a folder of its own.
#include <gtest/gtest.h>

#include "support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
#define CD "cd /d \""
#else
#define CD "cd \""
#endif

TEST(Program, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases([](const std::filesystem::path& dir) {
        // 0 exactly when the program ends with status 0, whatever the system
        return std::system((CD + dir.string() + "\" && \"" INTEGRATE_EXE "\" < in.txt > out.txt 2> err.txt").c_str());
    });
}

#ifndef _WIN32
// n records of the rectangle run of f5 on 0 2 10, whole, and nothing else.
std::string records(std::size_t n)
{
    std::string r;
    while (n-- > 0)
        r += "\n#\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: Obdlznikova, Vysledok aproximacie= 6.906560000000002\n";
    return r;
}

TEST(Program, AKilledProgramKeepsEveryRunItShowed)
{
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
}

TEST(Program, TwoCopiesAppendingAtOnceTearNoRecord)
{
    const auto dir = fresh_folder();
    write_file(dir / "in.txt", "5\n0 2 10\n" + std::string(2000, 'o') + "\nq\nw\n");
    const std::string copy = std::string("'") + INTEGRATE_EXE + "' < in.txt > /dev/null & ";
    EXPECT_EQ(std::system(("cd '" + dir.string() + "' && { " + copy + copy + "wait; }").c_str()), 0);
    EXPECT_EQ(masked(read_file(dir / "vysledky.txt")), records(4000));
}
#endif

} // namespace
