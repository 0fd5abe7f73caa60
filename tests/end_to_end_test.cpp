// The built program, started as a user starts it, in a folder of its own.
#include <gtest/gtest.h>

#include "support.h"

#include <chrono>
#include <random>
#include <thread>

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Through the emulator where the program is built for another processor.
const std::string program = INTEGRATE_EMULATOR "\"" + fs::absolute(INTEGRATE_EXE).string() + "\"";

// The status the program ended with, as a shell would give it.
int status_of(int w)
{
#ifdef _WIN32
    return w;
#else
    return WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
#endif
}

// `command` run by the system's shell in `dir`, PROG standing for the program.
int run_in(const fs::path& dir, std::string command)
{
    for (std::size_t at; (at = command.find("PROG")) != std::string::npos;)
        command.replace(at, 4, program);
#ifdef _WIN32
    return std::system(("cd /d \"" + dir.string() + "\" && " + command).c_str());
#else
    setenv("INTEGRATE_TEST_COMMAND", command.c_str(), 1); // a hang fails the case after two minutes
    return status_of(std::system(("cd '" + dir.string() + "' && timeout -k 5 120 sh -c \"$INTEGRATE_TEST_COMMAND\"").c_str()));
#endif
}

TEST(Program, KeystrokesGiveExactlyTheseTextsAndRecords)
{
    check_dialogue_cases("dialogue.txt",
                         [](const fs::path& dir, const Case&) { return run_in(dir, "PROG < in.txt > out.txt 2> err.txt"); });
}

TEST(Program, UnderHostileConditions)
{
#ifdef _WIN32
    GTEST_SKIP() << "the conditions are made by the POSIX shell";
#else
    check_dialogue_cases("conditions.txt", [](const fs::path& dir, const Case& c) {
        std::string command = c[7];
        for (std::size_t k = 8; k < c.size(); ++k)
            command += "|" + c[k];
#ifdef __SANITIZE_ADDRESS__
        const bool whole_memory = true; // the sanitizer reserves terabytes of address space
#else
        const bool whole_memory = *INTEGRATE_EMULATOR != '\0'; // the emulator reserves the guest's
#endif
        if (command.find("ulimit -v") != std::string::npos && whole_memory)
            command = "echo the memory limit would stop the sanitizer or the emulator first > err.txt; exit 77";
        return run_in(dir, command);
    });
#endif
}

#ifndef _WIN32
// The program with its standard input and output on pipes of the test's,
// as a person at a terminal drives it; standard error goes to err.txt.
struct Child {
    pid_t pid;
    int keys, screen;
};

Child start(const fs::path& dir, int input_flags = 0, const std::string& redirections = "")
{
    std::signal(SIGPIPE, SIG_IGN); // a program that died shows as a failed check, not a killed test
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        ADD_FAILURE() << "no pipes";
    fcntl(in[0], F_SETFL, fcntl(in[0], F_GETFL) | input_flags);
    const std::string command = "cd '" + dir.string() + "' && exec " + program + " 2> err.txt " + redirections;
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        dup2(in[0], 0), dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]), close(out[1]);
    return Child{pid, in[1], out[0]};
}

// The next `size` bytes the program shows, or what came before a minute
// passed or the output ended: a prompt left unflushed never comes.
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
    return status_of(w);
}
#endif

// Each step's keys are typed only once the program shows all that answers
// the step before: a prompt it does not flush before a read hangs the step.
TEST(Program, ShowsEachPromptBeforeItReadsOverAPipe)
{
#ifdef _WIN32
    GTEST_SKIP() << "drives the program over pipes with fork and poll, which are POSIX";
#else
    for (int flags : {0, O_NONBLOCK}) { // left non-blocking by the parent, reads say "not yet"
        const Child c = start(fresh_folder(), flags);
        for (const Case& step : load_cases("conversation.txt")) {
            type(c, step[0]);
            const std::string expected = expand_output(step[1]);
            ASSERT_EQ(shown(c, expected.size()), expected) << "after typing \"" << step[0] << "\", flags " << flags;
        }
        EXPECT_EQ(finish(c), 0);
    }
#endif
}

TEST(Program, AKilledProgramKeepsEveryRunItShowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGKILL is POSIX";
#else
    const auto dir = fresh_folder();
    const Span span = measure([&] {
        const Child c = start(dir);
        type(c, "5\n0 2 10\noo\n");
        const std::string shows = expand_output("M V R O:6.906560000000002 O:6.906560000000002");
        EXPECT_EQ(shown(c, shows.size()), shows);
        kill(c.pid, SIGKILL);
        EXPECT_EQ(finish(c), 128 + SIGKILL);
    });
    const std::string record =
        "\n#\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: Obdlznikova, Vysledok aproximacie= 6.906560000000002\n";
    EXPECT_EQ(checked_records(read_file(dir / "vysledky.txt"), span), record + record);
#endif
}

const std::string f5_simpson =
    "\n#\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: Simpsonova, Vysledok aproximacie= 8.400426666666670\n";

// The results file a FIFO: its reader takes the first record and goes away;
// the next write fails (EPIPE), which must not end the program.
TEST(Program, AResultsFifoWhoseReaderGoesAwayFailsAWriteOnly)
{
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs on Windows";
#else
    const auto dir = fresh_folder();
    ASSERT_EQ(mkfifo((dir / "vysledky.txt").c_str(), 0666), 0);
    const int reader = open((dir / "vysledky.txt").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::string record(512, '\0');
    const Span span = measure([&] {
        const Child c = start(dir);
        type(c, "5\n0 2 10\ns\n");
        const std::string shows = expand_output("M V R S:8.400426666666670");
        EXPECT_EQ(shown(c, shows.size()), shows); // the record is written before the next read
        record.resize(static_cast<std::size_t>(std::max<ssize_t>(read(reader, &record[0], record.size()), 0)));
        close(reader);
        type(c, "o\nq\nw\n");
        EXPECT_EQ(finish(c, expand_output("O:6.906560000000002 M")), 0);
    });
    EXPECT_EQ(checked_records(record, span), f5_simpson);
    EXPECT_EQ(read_file(dir / "err.txt"), "Upozornenie: zapis do suboru vysledky.txt zlyhal (Broken pipe).\n");
#endif
}

// Killed at random moments by the signals a user or the system sends, the
// program ends on them, and every record in the file is whole.
TEST(Program, SignalsWaitUntilTheRecordIsWhole)
{
#ifdef _WIN32
    GTEST_SKIP() << "POSIX signals";
#else
    const std::string tail = " Trvanie: 0.0000 sek.\n Funkcia: f5, a = 0.00, b= 2.00, n= 10 \n Pouzita metoda: "
                             "Obdlznikova, Vysledok aproximacie= 6.906560000000002\n";
    std::mt19937 random(std::random_device{}());
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        for (int k = 0; k < 5; ++k) {
            const auto dir = fresh_folder();
            write_file(dir / "in.txt", "5\n0 2 10\n" + std::string(1000000, 'o'));
            const Child c = start(dir, 0, "< in.txt > /dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
            kill(c.pid, sig);
            EXPECT_EQ(finish(c), 128 + sig);
            // Records of one length, the time and duration aside (under 10 s).
            const std::string file = read_file(dir / "vysledky.txt");
            const std::size_t size = 27 + tail.size();
            EXPECT_EQ(file.size() % size, 0u) << "signal " << sig;
            for (std::size_t at = 0; at < file.size(); at += size)
                ASSERT_EQ(file.compare(at + 48, tail.size() - 21, tail, 21), 0) << "signal " << sig << " at " << at;
        }
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
    ASSERT_NE(read_file(dir / "first.txt").find("koniec"), std::string::npos) << "the first copy never showed its menu";
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
