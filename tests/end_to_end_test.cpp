// The built program on piped input, in a folder of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#define CD "cd /d \""
#define NOTE_PID ""
#else
#include <csignal>
#define CD "cd \""
#define NOTE_PID "echo $$ > pid && exec "
#endif

namespace {

const std::string exe = fs::absolute(INTEGRATE_EXE).string();
const std::string program = INTEGRATE_EMULATOR "\"" + exe + "\""; // through qemu where the tests run under it

// The program started in `dir` with these redirections; 0 exactly when it
// ends with status 0, whatever the system.
int run_program(const fs::path& dir, const std::string& redirections)
{
    return std::system((CD + dir.string() + "\" && " + program + " " + redirections).c_str());
}

TEST(Program, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases([](const fs::path& dir) { return run_program(dir, "< in.txt > out.txt 2> err.txt"); });
}

// A copy that runs on in `dir` as long as the returned stream, its standard
// input, stays open; its output goes to first.txt, its process id to pid.
std::FILE* start_copy(const fs::path& dir, const std::string& keys, const std::string& shown)
{
    std::FILE* in = popen((CD + dir.string() + "\" && " NOTE_PID + program + " > first.txt").c_str(), "w");
    std::fputs(keys.c_str(), in);
    std::fflush(in);
    while (read_file(dir / "first.txt").find(shown) == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return in;
}

const std::string f5_rectangle =
    "\n#\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: Obdlznikova, Vysledok aproximacie= 6.906560000000002\n";

TEST(Program, AKilledProgramKeepsEveryRunItShowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGKILL is POSIX";
#else
    const auto dir = fresh_folder();
    std::FILE* in = start_copy(dir, "5\n0 2 10\noo\n", expand_output("O:6.906560000000002 O:6.906560000000002"));
    kill(std::stoi(read_file(dir / "pid")), SIGKILL);
    pclose(in);
    EXPECT_EQ(masked(read_file(dir / "vysledky.txt")), f5_rectangle + f5_rectangle);
#endif
}

TEST(Program, TwoCopiesAppendingAtOnceTearNoRecord)
{
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a second copy cannot open the file at all";
#else
    const auto dir = fresh_folder();
    write_file(dir / "in.txt", "5\n0 2 10\n" + std::string(2000, 'o') + "\nq\nw\n");
    const std::string copy = program + " < in.txt > /dev/null";
    EXPECT_EQ(std::system(("cd \"" + dir.string() + "\" && { " + copy + " & " + copy + "; wait; }").c_str()), 0);
    std::string all;
    for (int k = 0; k < 4000; ++k)
        all += f5_rectangle;
    EXPECT_TRUE(masked(read_file(dir / "vysledky.txt")) == all) << "4000 whole records and nothing else";
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
    std::FILE* first = start_copy(dir, "", "koniec");
    write_file(dir / "in.txt", "5\n0 2 10\ns\nq\nw\n");
    EXPECT_EQ(run_program(dir, "< in.txt > out.txt 2> err.txt"), 0);
    EXPECT_EQ(read_text(dir / "out.txt"), expand_output("M V R S:8.400426666666670 M"));
    EXPECT_EQ(read_text(dir / "err.txt"),
              "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (Permission denied); vysledky sa nebudu zapisovat.\n");
    std::fputs("w\n", first);
    EXPECT_EQ(pclose(first), 0);
    EXPECT_EQ(read_file(dir / "vysledky.txt"), "");
#endif
}

} // namespace
