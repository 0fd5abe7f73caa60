#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): where, then what, as every write goes
int write_picture(const std::string& path, const std::string& text)
{
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return not_a_regular_file;
    std::string temp;
    int fd = -1;
    // A name no other copy of the program is using: the process id, and a
    // count past names that a killed copy may have left behind.
    for (int k = 0; k < 100 && fd < 0; ++k) {
        temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(k);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    int error = write_all(fd, text);
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temp.c_str());
    return error;
}
