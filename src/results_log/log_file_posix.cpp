#include "log_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <initializer_list>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// While a record goes into a regular file, every asynchronous signal whose
// default action ends the program waits, and acts right after the write:
// Linux cuts a write short between pages when such a signal is pending,
// which would tear the record. Faults the program raises itself (SIGSEGV and
// its kind) cannot wait. A FIFO or a terminal takes a record of at most
// PIPE_BUF bytes whole or not at all, so there only SIGPIPE is held: a
// stalled reader then cannot hold Ctrl+C back. SIGPIPE and SIGXFSZ raised by
// a failed write are taken back: a reader gone or the size limit fails this
// write, it does not end the program.
struct HeldSignals {
    sigset_t old;
    explicit HeldSignals(bool every_fatal)
    {
        sigset_t held;
        sigemptyset(&held);
        if (every_fatal)
            sigfillset(&held);
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
            sigdelset(&held, sig);
        sigaddset(&held, SIGPIPE);
        sigprocmask(SIG_BLOCK, &held, &old);
    }
    ~HeldSignals() { sigprocmask(SIG_SETMASK, &old, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

// Only a failed write raises them, so only then are they looked for.
void take_back_raised(const HeldSignals& held)
{
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    for (int sig : {SIGPIPE, SIGXFSZ}) {
        if (sigismember(&pending, sig) != 1 || sigismember(&held.old, sig) == 1)
            continue;
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        sigwait(&one, &sig);
    }
}

// A fragment of `written` bytes ending at `end` can go back out of the file
// only while it is the file's last bytes: once another copy has appended,
// cutting would take that copy's record too.
bool cut_back(int fd, off_t end, ssize_t written)
{
    struct stat st;
    if (end < written || fstat(fd, &st) != 0 || st.st_size != end)
        return false;
    return ftruncate(fd, end - written) == 0;
}

int write_whole(int fd, const char* p, std::size_t len)
{
    ssize_t w;
    while ((w = write(fd, p, len)) < 0 && errno == EINTR) {
    }
    if (w == static_cast<ssize_t>(len))
        return 0;
    if (w < 0)
        return errno;
    if (w == 0)
        return EIO;
    // Cut short (a full disk, the size limit): the rest, tried once, tells
    // why or goes in after all.
    const off_t end = lseek(fd, 0, SEEK_CUR);
    const ssize_t more = write(fd, p + w, len - static_cast<std::size_t>(w));
    if (more == static_cast<ssize_t>(len) - w)
        return 0;
    int why = EIO;
    if (more < 0)
        why = errno;
    // Otherwise the fragment at least ends its line, so that the records
    // after it stay whole.
    if (more > 0 || !cut_back(fd, end, w))
        (void)!write(fd, "\n", 1);
    return why;
}

// Whether the file `st` describes is descriptor fd's: the same regular file
// or FIFO, or the same terminal.
bool same_file(const struct stat& st, int fd)
{
    struct stat other;
    if (fstat(fd, &other) != 0)
        return false;
    if (S_ISCHR(st.st_mode))
        return S_ISCHR(other.st_mode) && st.st_rdev == other.st_rdev && isatty(fd) == 1;
    return st.st_dev == other.st_dev && st.st_ino == other.st_ino && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode));
}

} // namespace

int own_standard_stream(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return -1;
    for (int fd = 0; fd <= 2; ++fd)
        if (same_file(st, fd))
            return fd;
    return -1;
}

void sync_folder_of(const char* path)
{
    const std::string p = path;
    const std::size_t slash = p.find_last_of('/');
    std::string folder = ".";
    if (slash == 0)
        folder = "/";
    else if (slash != std::string::npos)
        folder = p.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

int open_log_file(const char* path, LogFile& file)
{
    // Non-blocking only while opening: a FIFO without a reader fails at once.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // Created here, or opened as ever where anything is there (a link is
    // followed, a FIFO without a reader refused).
    file.fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    const bool created = file.fd >= 0;
    if (!created)
        file.fd = open(path, flags | O_CREAT, 0666);
    if (file.fd < 0)
        return errno;
    fcntl(file.fd, F_SETFL, fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
    if (created)
        sync_folder_of(path);
    return 0;
}

int append_to_log_file(const LogFile& file, const char* record, std::size_t len)
{
    struct stat st;
    const bool known = fstat(file.fd, &st) == 0;
    const bool regular = known && S_ISREG(st.st_mode);
    int why = 0;
    {
        const HeldSignals held(!known || regular || len > PIPE_BUF);
        why = write_whole(file.fd, record, len);
        if (why != 0)
            take_back_raised(held);
    }
    // On the disk before its result line shows, so that a power cut keeps
    // every run shown too; with the signals free again, so that a slow disk
    // never holds Ctrl+C back. A file system that cannot sync says so with
    // EINVAL, which is no failed write.
    if (why == 0 && regular && fdatasync(file.fd) != 0 && errno != EINVAL && errno != EROFS)
        why = errno;
    return why;
}

void close_log_file(LogFile& file)
{
    if (file.fd >= 0)
        close(file.fd);
    file.fd = -1;
}

std::tm local_time(std::time_t cas)
{
    std::tm t{};
    if (localtime_r(&cas, &t) == nullptr)
        t = std::tm{};
    return t;
}
