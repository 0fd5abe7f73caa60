#include "console.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

bool descriptor_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

void open_null_device_as(int fd)
{
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd && dup2(null, fd) == fd)
        close(null);
}

void fail_writes_past_size_limit() { std::signal(SIGXFSZ, SIG_IGN); }

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

// What is no terminal has no foreground job to mind.
bool in_foreground(std::FILE* terminal)
{
    const pid_t job = tcgetpgrp(fileno(terminal));
    return job == -1 || job == getpgrp();
}

int terminal_columns(std::FILE* terminal)
{
    winsize size{};
    if (ioctl(fileno(terminal), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

bool wait_for_input(std::FILE* in, int error)
{
    if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR)
        return false;
    pollfd p{fileno(in), POLLIN, 0};
    poll(&p, 1, -1);
    std::clearerr(in);
    return true;
}

const char* system_reason(int error) { return std::strerror(error); }
