#include "console.h"

#include <cstring>

#include <fcntl.h>
#include <io.h>

void keep_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1)
            continue;
        int flags = _O_WRONLY;
        if (fd == 0)
            flags = _O_RDONLY;
        const int null = _open("NUL", flags);
        if (null < 0 || null == fd)
            continue;
        _dup2(null, fd);
        _close(null);
    }
}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

// The C runtime gives no "not yet" on standard input: a failed read is its end.
bool wait_for_input(std::FILE*) { return false; }

const char* system_reason(int error)
{
    static char buf[256];
    strerror_s(buf, sizeof buf, error);
    return buf;
}
