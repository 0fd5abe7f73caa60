#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log_file.h"
#include "picture.h"

namespace {

// Writes all of `text`, again after a signal cut a write short; errno or 0.
int write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

bool same_file(const struct stat& x, const struct stat& y) { return x.st_dev == y.st_dev && x.st_ino == y.st_ino; }

// The folder part of `path` ("." where it has none) and its last name.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): folder, then name, as the path reads
void split_path(const std::string& path, std::string& folder, std::string& name)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = path.substr(0, slash + 1);
    name = path.substr(slash + 1);
}

// Whether `target` is the results file: by its name in the working folder
// (it may not exist yet, and must not come to exist), or by identity.
bool names_results_file(const std::string& target, const char* results_file)
{
    std::string folder;
    std::string name;
    split_path(target, folder, name);
    struct stat here {};
    struct stat there {};
    if (name == results_file && stat(".", &here) == 0 && stat(folder.c_str(), &there) == 0 && same_file(here, there))
        return true;
    struct stat log {};
    return stat(results_file, &log) == 0 && stat(target.c_str(), &there) == 0 && same_file(log, there);
}

// While the temporary file exists, a signal that ends the program removes
// it first. The handler may use only what is safe in a signal handler: the
// name is kept in a fixed buffer and unlink() is one system call.
char temp_name[4096];
volatile std::sig_atomic_t temp_armed = 0;

extern "C" void remove_temp_and_die(int sig)
{
    if (temp_armed != 0)
        unlink(temp_name);
    raise(sig); // acts as it would have: the handler was for this one time
}

// Every signal whose default ends the program and that nobody has taken
// over (an ignored SIGINT of a background job stays ignored). Faults the
// program raises itself are left to their own handlers.
struct Cleanup {
    struct sigaction old[NSIG];
    bool taken[NSIG] = {};

    Cleanup()
    {
        for (int sig = 1; sig < NSIG; ++sig) {
            if (!ends_the_program(sig) || sigaction(sig, nullptr, &old[sig]) != 0 || old[sig].sa_handler != SIG_DFL)
                continue;
            struct sigaction act {};
            act.sa_handler = remove_temp_and_die;
            sigfillset(&act.sa_mask);
            act.sa_flags = SA_RESETHAND | SA_NODEFER;
            taken[sig] = sigaction(sig, &act, nullptr) == 0;
        }
    }
    ~Cleanup()
    {
        for (int sig = 1; sig < NSIG; ++sig)
            if (taken[sig])
                sigaction(sig, &old[sig], nullptr);
    }
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;

    static bool ends_the_program(int sig)
    {
        const int others[] = {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTSTP, SIGTTIN,
                              SIGTTOU, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL, SIGTRAP,  SIGSYS,  SIGABRT};
        return std::none_of(std::begin(others), std::end(others), [sig](int other) { return other == sig; });
    }
};

// Creates the temporary file `temp` and arms its removal, with every signal
// held meanwhile, so that no signal falls between the two.
int create_armed(const std::string& temp)
{
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    std::snprintf(temp_name, sizeof temp_name, "%s", temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = errno;
    if (fd >= 0)
        temp_armed = 1;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    errno = error;
    return fd;
}

// The picture into the temporary file: its old mode kept, on the disk
// before it is renamed, so that a power cut leaves the old picture or the
// whole new one.
int fill(int fd, const std::string& text, const struct stat* old)
{
    if (old != nullptr) {
        (void)!fchown(fd, old->st_uid, old->st_gid); // where the user may; the mode matters more
        fchmod(fd, old->st_mode & 0777);
    }
    int error = write_all(fd, text);
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): where, then what, as every write goes
int write_picture(const std::string& path, const std::string& text, const char* results_file)
{
    // A symbolic link stays: the file it names is the one replaced.
    std::string target = path;
    struct stat st {};
    bool exists = lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (real == nullptr) {
            const int error = errno;
            // /dev/stdout on a pipe names no path, yet is there
            if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                return not_a_regular_file;
            // A link to a results file that is not there yet must not make one.
            char named[4096] = {};
            std::string folder;
            std::string name;
            split_path(path, folder, name);
            if (folder == ".")
                folder.clear();
            if (readlink(path.c_str(), named, sizeof named - 1) > 0 &&
                names_results_file(named[0] == '/' ? named : folder + named, results_file))
                return the_results_file;
            return error;
        }
        target = real;
        std::free(real);
        exists = stat(target.c_str(), &st) == 0;
    }
    if (exists && !S_ISREG(st.st_mode))
        return not_a_regular_file;
    const int own = own_standard_stream(target.c_str());
    if (own >= 0)
        return own_standard_input - own;
    if (names_results_file(target, results_file))
        return the_results_file;
    // As cp would: a file the user may not write is not replaced.
    if (exists && access(target.c_str(), W_OK) != 0)
        return errno;
    // Beside the target, under a name short enough for any folder: the
    // target's name may be as long as a name can be.
    std::string folder;
    std::string name;
    split_path(target, folder, name);
    if (folder == ".")
        folder.clear();
    const Cleanup cleanup;
    std::string temp;
    int fd = -1;
    // A name no other copy of the program is using: the process id, and a
    // count past names that a killed copy may have left behind.
    for (int k = 0; k < 100 && fd < 0; ++k) {
        temp = folder + name.substr(0, 32) + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(k);
        fd = create_armed(temp);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    int error = fill(fd, text, exists ? &st : nullptr);
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temp.c_str());
    temp_armed = 0;
    if (error != 0)
        return error;
    // The rename itself on the disk too.
    sync_folder_of(target.c_str());
    return 0;
}
