#include "console.h"

#include <cstring>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

bool descriptor_open(int fd) { return _get_osfhandle(fd) != -1; }

void open_null_device_as(int fd)
{
    const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null >= 0 && null != fd && _dup2(null, fd) == 0)
        _close(null);
}

// Windows has no size limit on files.
void fail_writes_past_size_limit() {}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

// A console has no background jobs.
bool in_foreground(std::FILE*) { return true; }

int terminal_columns(std::FILE* terminal)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(terminal)));
    if (!GetConsoleScreenBufferInfo(h, &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// The C runtime gives no "not yet" on standard input: a failed read is its end.
bool wait_for_input(std::FILE*, int) { return false; }

const char* system_reason(int error)
{
    static char buf[256];
    strerror_s(buf, sizeof buf, error);
    return buf;
}
