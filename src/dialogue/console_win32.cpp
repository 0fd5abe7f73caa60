#include "console.h"

#include <cstring>

#include <fcntl.h>
#include <io.h>

bool descriptor_open(int fd) { return _get_osfhandle(fd) != -1; }

void open_null_device_as(int fd)
{
    const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null >= 0 && null != fd && _dup2(null, fd) == 0)
        _close(null);
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
