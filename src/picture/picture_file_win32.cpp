#include <algorithm>
#include <cerrno>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "picture.h"

namespace {

// The errno value nearest a Windows error, for the C library's words.
int errno_of(DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
        return ENOENT;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_WRITE_PROTECT)
        return EACCES;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return ENOSPC;
    return EIO;
}

} // namespace

int write_picture(const std::string& path, const std::string& text)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return not_a_regular_file;
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int k = 0; k < 100 && file == INVALID_HANDLE_VALUE; ++k) {
        temp = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(k);
        file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return errno_of(GetLastError());
    }
    if (file == INVALID_HANDLE_VALUE)
        return EEXIST;
    int error = 0;
    std::size_t done = 0;
    while (done < text.size() && error == 0) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(file, text.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            error = errno_of(GetLastError());
        done += wrote;
    }
    if (!CloseHandle(file) && error == 0)
        error = errno_of(GetLastError());
    if (error == 0 && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = errno_of(GetLastError());
    if (error != 0)
        DeleteFileA(temp.c_str());
    return error;
}
