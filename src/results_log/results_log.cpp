#include "results_log.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <fcntl.h>
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

// The system's words for errno `err`.
const char* reason(int err, char (&buf)[256])
{
#ifdef _WIN32
    strerror_s(buf, sizeof buf, err);
    return buf;
#else
    (void)buf;
    return std::strerror(err);
#endif
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

// One system call for the whole record where the system allows it; a short
// write (a full disk) goes on with the rest rather than drop it.
bool write_all(int fd, const char* p, std::size_t len)
{
    while (len > 0) {
#ifdef _WIN32
        const int w = _write(fd, p, static_cast<unsigned>(len));
#else
        const ssize_t w = write(fd, p, len);
#endif
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = EIO;
            return false;
        }
        p += w;
        len -= static_cast<std::size_t>(w);
    }
    return true;
}

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
    // Held without sharing for writing, as the program always was on Windows:
    // a second copy in the same folder cannot open it, readers still can.
    // (fopen_s leaves the sharing to the C runtime; MinGW's lets writers in.)
    // The records go through its descriptor, one _write each.
    res.file = _fsopen(path, "a", _SH_DENYWR);
    if (res.file != nullptr)
        res.fd = _fileno(res.file);
#else
    res.fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
#endif
    if (res.fd < 0 && err != nullptr) {
        char buf[256];
        std::fprintf(err,
                     "Upozornenie: subor vysledky.txt sa nepodarilo otvorit (%s); vysledky sa nebudu zapisovat.\n",
                     reason(errno, buf));
        std::fflush(err);
    }
    return res;
}

void append_record(ResultsLog& res, const RunRecord& record)
{
    if (res.fd < 0)
        return;
    char buf[record_capacity];
    const std::size_t len = format_record(buf, record, local_time(record.cas));
    if (write_all(res.fd, buf, len) || res.write_failed)
        return;
    res.write_failed = true;
    if (res.err != nullptr) {
        char why[256];
        std::fprintf(res.err, "Upozornenie: zapis do suboru vysledky.txt zlyhal (%s).\n", reason(errno, why));
        std::fflush(res.err);
    }
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
