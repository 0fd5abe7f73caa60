#include "log_file.h"

#include <cerrno>
#include <cstdio>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

bool same_file(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION x;
    BY_HANDLE_FILE_INFORMATION y;
    if (a == INVALID_HANDLE_VALUE || b == INVALID_HANDLE_VALUE)
        return false;
    if (!GetFileInformationByHandle(a, &x) || !GetFileInformationByHandle(b, &y))
        return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

HANDLE standard_handle(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

} // namespace

// Asked before the file is opened: held against writers, the program's own
// standard output could not be opened at all.
int own_standard_stream(const char* path)
{
    const HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    int own = -1;
    for (int fd = 2; fd >= 0; --fd)
        if (same_file(h, standard_handle(fd)))
            own = fd;
    CloseHandle(h);
    return own;
}

// Held without sharing for writing, as the program always was on Windows: a
// second copy in the same folder cannot open it, readers still can.
// (fopen_s leaves the sharing to the C runtime; MinGW's lets writers in.)
// Text mode, so that each record's line ends go in as CR LF.
int open_log_file(const char* path, LogFile& file)
{
    return _sopen_s(&file.fd, path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT, _SH_DENYWR, _S_IREAD | _S_IWRITE);
}

// No other program writes the file meanwhile, so a record that does not go
// in whole is cut back to the old end.
int append_to_log_file(const LogFile& file, const char* record, std::size_t len)
{
    const __int64 start = _lseeki64(file.fd, 0, SEEK_END);
    errno = 0;
    // On the disk before its result line shows, so that a power cut keeps
    // every run shown too.
    if (_write(file.fd, record, static_cast<unsigned>(len)) == static_cast<int>(len))
        return _commit(file.fd) == 0 || errno != EIO ? 0 : EIO;
    int why = errno;
    if (why == 0)
        why = EIO;
    if (start < 0 || _chsize_s(file.fd, start) != 0)
        (void)_write(file.fd, "\n", 1);
    return why;
}

void close_log_file(LogFile& file)
{
    if (file.fd >= 0)
        _close(file.fd);
    file.fd = -1;
}

// NTFS journals its folders' entries; there is no sync of a folder to ask for.
void sync_folder_of(const char*) {}

std::tm local_time(std::time_t cas)
{
    std::tm t{};
    if (localtime_s(&t, &cas) != 0)
        t = std::tm{};
    return t;
}
