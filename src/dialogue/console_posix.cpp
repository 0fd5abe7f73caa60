#include "console.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

void keep_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        int flags = O_WRONLY;
        if (fd == 0)
            flags = O_RDONLY;
        const int null = open("/dev/null", flags);
        if (null < 0 || null == fd)
            continue;
        dup2(null, fd);
        close(null);
    }
}

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

bool wait_for_input(std::FILE* in)
{
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return false;
    pollfd p{fileno(in), POLLIN, 0};
    poll(&p, 1, -1);
    std::clearerr(in);
    return true;
}

const char* system_reason(int error) { return std::strerror(error); }
