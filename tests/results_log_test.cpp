#include <gtest/gtest.h>

#include <sstream>

#include "record.h"
#include "support.h"

namespace {

// The breakdown of a timestamp as the record writes it, read with the
// test's own names.
std::tm breakdown(const std::string& when)
{
    static const std::string days = "SunMonTueWedThuFriSat";
    static const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::tm t{};
    char day[4] = {};
    char month[4] = {};
    long long year = 0;
    std::sscanf(when.c_str(), "%3s %3s %d %d:%d:%d %lld", day, month, &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec, &year);
    t.tm_wday = static_cast<int>(days.find(day) / 3);
    t.tm_mon = static_cast<int>(months.find(month) / 3);
    t.tm_year = static_cast<int>(year - 1900);
    return t;
}

// when: the local time; run: duration integrand a b n rule result; function:
// a typed function instead; record: the text
class Record : public testing::TestWithParam<Case> {};
TEST_P(Record, Layout)
{
    const Case& c = GetParam();
    RunRecord r{};
    std::istringstream run(c.at("run"));
    std::string rule;
    std::string result;
    run >> r.duration >> r.function >> r.x0 >> r.xn >> r.n >> rule >> result;
    if (c.count("function") > 0)
        r.function = c.at("function");
    r.rule = rule_with_key(rule[0])->rule;
    r.result = std::strtod(result.c_str(), nullptr);
    EXPECT_EQ(format_record(r, breakdown(c.at("when"))), c.at("record"));
}
CASES_OF(Cases, Record, "records.txt");

} // namespace

#ifdef __linux__
#include <atomic>
#include <climits>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "log_file.h"

namespace {

// The signals blocked in thread `tid`, as /proc shows them.
unsigned long long blocked_in(long tid)
{
    std::string status = read_file("/proc/self/task/" + std::to_string(tid) + "/status");
    const std::size_t at = status.find("SigBlk:");
    return at == std::string::npos ? 0 : std::stoull(status.substr(at + 7), nullptr, 16);
}

bool has(unsigned long long mask, int sig) { return (mask >> (sig - 1) & 1) != 0; }

// Whether /proc shows signal `sig` blocked under its own number: an emulator
// such as qemu-user blocks the host's signals for the program's, and numbers
// the real-time ones otherwise.
bool shown_as_itself(int sig)
{
    bool shown = false;
    std::thread probe([&] {
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_BLOCK, &one, nullptr);
        shown = has(blocked_in(syscall(SYS_gettid)), sig);
    });
    probe.join();
    return shown;
}

// A record written to a FIFO nobody reads, so that the write waits: one of
// more than PIPE_BUF bytes may be torn there as in a regular file, and then
// every asynchronous signal that would end the program waits with it; one of
// at most PIPE_BUF bytes goes in whole or not at all, and only SIGPIPE waits.
TEST(LogFile, SignalsThatWouldEndTheProgramWaitWhileARecordCanBeTorn)
{
    for (std::size_t len : {std::size_t{PIPE_BUF} * 32, std::size_t{PIPE_BUF}}) {
        const std::string fifo = (fresh_folder() / "fifo").string();
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        LogFile file;
        ASSERT_EQ(open_log_file(fifo.c_str(), file), 0);
        const std::string filler(65536, 'x'); // the FIFO full first
        const int filling = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        while (write(filling, filler.data(), filler.size()) > 0) {
        }
        close(filling);
        const std::string record(len, 'r');
        std::atomic<long> tid{0};
        std::atomic<bool> done{false};
        std::thread writer([&] {
            sigset_t marker; // shows that /proc tells this thread's own mask
            sigemptyset(&marker);
            sigaddset(&marker, SIGWINCH);
            pthread_sigmask(SIG_BLOCK, &marker, nullptr);
            tid = syscall(SYS_gettid);
            append_to_log_file(file, record.data(), record.size());
            done = true;
        });
        unsigned long long mask = 0;
        for (int i = 0; i < 400 && !has(mask, SIGPIPE); ++i) { // until the write is under way
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (tid != 0)
                mask = blocked_in(tid);
        }
        char buf[65536];
        while (!done)
            if (read(reader, buf, sizeof buf) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        writer.join();
        close(reader);
        close_log_file(file);
        if (!has(mask, SIGWINCH))
            GTEST_SKIP() << "this system does not show a thread's signal mask";
        EXPECT_TRUE(has(mask, SIGPIPE)) << len;
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR,
                        SIGXCPU, SIGRTMIN, SIGRTMAX})
            if (shown_as_itself(sig)) {
                EXPECT_EQ(has(mask, sig), len > PIPE_BUF) << "signal " << sig << " with " << len << " bytes";
            }
        EXPECT_FALSE(has(mask, SIGSEGV));
    }
}

} // namespace
#endif
