#include "results_log.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char* rule_name(Rule rule)
{
    switch (rule) {
    case Rule::simpson:
        return "Simpsonova";
    case Rule::rectangle:
        return "Obdlznikova";
    case Rule::trapezoid:
        break;
    }
    return "Lichobeznikova";
}

// The ctime layout, but with the day of the month zero-padded and English
// names whatever the locale, so the file reads the same everywhere.
int format_timestamp(char* buf, std::size_t size, const std::tm& t)
{
    static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const unsigned wday = static_cast<unsigned>(t.tm_wday) % 7;
    const unsigned mon = static_cast<unsigned>(t.tm_mon) % 12;
    return std::snprintf(buf, size, "%s %s %02d %02d:%02d:%02d %d\n", days[wday], months[mon], t.tm_mday,
                         t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
}

std::tm local_time(std::time_t cas)
{
    std::tm t{};
#ifdef _WIN32
    if (localtime_s(&t, &cas) != 0)
        t = std::tm{};
#else
    if (localtime_r(&cas, &t) == nullptr)
        t = std::tm{};
#endif
    return t;
}

// Whether descriptors a and b are one regular file or FIFO: the results
// file must not be the program's own standard input or output.
bool same_file(int a, int b)
{
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION x, y;
    const auto ha = reinterpret_cast<HANDLE>(_get_osfhandle(a)), hb = reinterpret_cast<HANDLE>(_get_osfhandle(b));
    return ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE && GetFileInformationByHandle(ha, &x) &&
           GetFileInformationByHandle(hb, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
    struct stat x, y;
    return fstat(a, &x) == 0 && fstat(b, &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino &&
           (S_ISREG(x.st_mode) || S_ISFIFO(x.st_mode));
#endif
}

// Why the results file must not be written when it is the program's own
// standard input (it would feed on its records) or output; null otherwise.
const char* own_stream(int fd)
{
    if (fd >= 0 && same_file(fd, 0))
        return "je to standardny vstup programu";
    if (fd >= 0 && same_file(fd, 1))
        return "je to standardny vystup programu";
    return nullptr;
}

#ifdef _WIN32
// A descriptor for the file `path` names, opened for its identity only;
// -1 when there is none.
int identity_of(const char* path)
{
    const HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    const int fd = h == INVALID_HANDLE_VALUE ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY);
    if (h != INVALID_HANDLE_VALUE && fd < 0)
        CloseHandle(h);
    return fd;
}

// No other program writes the file meanwhile (it is held against writers),
// so a record that does not go in whole is cut back to the old end.
bool write_record(int fd, const char* p, std::size_t len)
{
    const __int64 start = _lseeki64(fd, 0, SEEK_END);
    errno = 0;
    if (_write(fd, p, static_cast<unsigned>(len)) == static_cast<int>(len))
        return true;
    const int why = errno != 0 ? errno : EIO;
    if (start < 0 || _chsize_s(fd, start) != 0)
        (void)_write(fd, "\n", 1);
    errno = why;
    return false;
}
#else
// SIGINT, SIGTERM and SIGHUP wait until the record is written (Linux cuts a
// write short between pages when a fatal signal is pending) and act right
// after it. SIGPIPE and SIGXFSZ raised by a failed write are taken back: a
// reader gone or the size limit fails this write, it does not end the
// program.
struct HeldSignals {
    sigset_t old;
    bool failed = false; // only a failed write raises SIGPIPE or SIGXFSZ
    HeldSignals()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
            sigaddset(&held, sig);
        sigprocmask(SIG_BLOCK, &held, &old);
    }
    ~HeldSignals()
    {
        sigset_t pending;
        sigemptyset(&pending);
        if (failed)
            sigpending(&pending);
        for (int sig : {SIGPIPE, SIGXFSZ}) {
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, sig);
            if (sigismember(&pending, sig) == 1 && sigismember(&old, sig) == 0)
                sigwait(&one, &sig);
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }
    void write_failed() { failed = true; }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

// One write, so that copies appending at once never tear each other's
// records. Cut short (a full disk, the size limit), the record is cut back
// out of the file, unless another copy has appended since; then the fragment
// at least ends its line, so that the records after it stay whole.
bool write_record(int fd, const char* p, std::size_t len)
{
    HeldSignals held;
    ssize_t w;
    while ((w = write(fd, p, len)) < 0 && errno == EINTR) {
    }
    if (w == static_cast<ssize_t>(len))
        return true;
    held.write_failed();
    if (w <= 0) {
        errno = w == 0 ? EIO : errno;
        return false;
    }
    const off_t end = lseek(fd, 0, SEEK_CUR);
    const ssize_t more = write(fd, p + w, len - static_cast<std::size_t>(w)); // tells why, or goes in after all
    if (more == static_cast<ssize_t>(len) - w)
        return true;
    const int why = more < 0 ? errno : EIO;
    struct stat st;
    if (more > 0 || end < w || fstat(fd, &st) != 0 || st.st_size != end || ftruncate(fd, end - w) != 0)
        (void)!write(fd, "\n", 1);
    errno = why;
    return false;
}
#endif

} // namespace

std::size_t format_record(char (&buf)[record_capacity], const RunRecord& r, const std::tm& local)
{
    char stamp[64];
    format_timestamp(stamp, sizeof stamp, local);
    const int len = std::snprintf(buf, sizeof buf,
                                  "\n %s Trvanie: %.4f sek.\n Funkcia: f%c, a = %.2f, b= %.2f, n= %d \n"
                                  " Pouzita metoda: %s, Vysledok aproximacie= %.15f\n",
                                  stamp, r.duration, r.label, r.x0, r.xn, r.n, rule_name(r.rule), r.result);
    if (len < 0)
        return 0;
    return static_cast<std::size_t>(len) < sizeof buf ? static_cast<std::size_t>(len) : sizeof buf - 1;
}

ResultsLog open_results_log(const char* path, std::FILE* err)
{
    ResultsLog res;
    res.err = err;
#ifdef _WIN32
    // Whether it is the program's own standard input or output is asked
    // first: held against writers, it could not be opened at all then.
    const int probe = identity_of(path);
    const char* why = own_stream(probe);
    if (probe >= 0)
        _close(probe);
    // Held without sharing for writing, as the program always was on Windows:
    // a second copy in the same folder cannot open it, readers still can.
    // (fopen_s leaves the sharing to the C runtime; MinGW's lets writers in.)
    // The records go through its descriptor, one _write each.
    if (why == nullptr && (res.file = _fsopen(path, "a", _SH_DENYWR)) != nullptr)
        res.fd = _fileno(res.file);
    else if (why == nullptr)
        why = system_reason(errno);
#else
    // Non-blocking only while opening: a FIFO without a reader fails at once.
    res.fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (res.fd >= 0)
        fcntl(res.fd, F_SETFL, fcntl(res.fd, F_GETFL) & ~O_NONBLOCK);
    const char* why = res.fd < 0 ? system_reason(errno) : own_stream(res.fd);
#endif
    if (why == nullptr)
        return res;
    close_results_log(res);
    warn(err, "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (%s); vysledky sa nebudu zapisovat.\n", why);
    return res;
}

void append_record(ResultsLog& res, const RunRecord& record)
{
    if (res.fd < 0)
        return;
    char buf[record_capacity];
    const std::size_t len = format_record(buf, record, local_time(record.cas));
    if (write_record(res.fd, buf, len) || res.write_failed)
        return;
    res.write_failed = true;
    warn(res.err, "Upozornenie: zapis do suboru vysledky.txt zlyhal (%s).\n", system_reason(errno));
}

void close_results_log(ResultsLog& res)
{
#ifdef _WIN32
    if (res.file != nullptr)
        std::fclose(res.file);
    res.file = nullptr;
#else
    if (res.fd >= 0)
        close(res.fd);
#endif
    res.fd = -1;
}

void warn(std::FILE* err, const char* format, const char* reason)
{
    if (err == nullptr)
        return;
    std::fprintf(err, format, reason);
    std::fflush(err);
}

const char* system_reason(int error)
{
#ifdef _WIN32
    static char buf[256];
    strerror_s(buf, sizeof buf, error);
    return buf;
#else
    return std::strerror(error);
#endif
}
