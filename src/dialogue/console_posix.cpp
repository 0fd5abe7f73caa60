#include "console.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

bool descriptor_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

void open_null_device_as(int fd)
{
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd && dup2(null, fd) == fd)
        close(null);
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
