#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
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
    if (error == ERROR_FILENAME_EXCED_RANGE)
        return ENAMETOOLONG;
    return EIO;
}

HANDLE open_existing(const std::string& path)
{
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

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

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string full_path(const std::string& path)
{
    char buf[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
    if (n == 0 || n >= sizeof buf)
        return path;
    return std::string(buf, n);
}

// The folder part of `path` (with its separator, empty where it has none)
// and its last name.
void split_path(const std::string& path, std::string& folder, std::string& name)
{
    const std::size_t slash = path.find_last_of("/\\:");
    folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether `target` is the results file in the working folder, by its name
// (Windows names ignore case) or by identity.
bool names_results_file(const std::string& target, HANDLE existing, const char* results_file)
{
    if (lower(full_path(target)) == lower(full_path(results_file)))
        return true;
    const HANDLE log = open_existing(results_file);
    const bool same = same_file(existing, log);
    if (log != INVALID_HANDLE_VALUE)
        CloseHandle(log);
    return same;
}

int own_stream(HANDLE existing)
{
    const int streams[] = {own_standard_input, own_standard_output, own_standard_error};
    for (int fd = 0; fd <= 2; ++fd)
        if (same_file(existing, reinterpret_cast<HANDLE>(_get_osfhandle(fd))))
            return streams[fd];
    return 0;
}

// Where an existing `path` leads: the file itself, or the file a symbolic
// link names, which is replaced while the link stays. 0, or a refusal.
int resolve(const std::string& path, std::string& target, DWORD& attributes, const char* results_file)
{
    target = path;
    attributes = INVALID_FILE_ATTRIBUTES;
    const HANDLE h = open_existing(path);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int refusal = 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        refusal = not_a_regular_file;
    } else {
        attributes = info.dwFileAttributes;
        char buf[MAX_PATH * 4];
        const DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED);
        if (n > 0 && n < sizeof buf)
            target = std::string(buf, n);
        refusal = own_stream(h);
        if (refusal == 0 && names_results_file(target, h, results_file))
            refusal = the_results_file;
    }
    CloseHandle(h);
    return refusal;
}

// Ctrl+C and the console closing end the program: the temporary file goes
// first. It is open with FILE_SHARE_DELETE, so that it can be marked for
// deletion while it is written.
char temp_name[MAX_PATH * 4];
volatile LONG temp_armed = 0;

BOOL WINAPI remove_temp(DWORD)
{
    if (temp_armed != 0)
        DeleteFileA(temp_name);
    return FALSE; // and the program ends as it would have
}

} // namespace

int write_picture(const std::string& path, const std::string& text, const char* results_file)
{
    std::string target;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const int refusal = resolve(path, target, attributes, results_file);
    if (refusal != 0)
        return refusal;
    if (attributes == INVALID_FILE_ATTRIBUTES && names_results_file(target, INVALID_HANDLE_VALUE, results_file))
        return the_results_file;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return EACCES; // as copy refuses a read-only file
    std::string folder;
    std::string name;
    split_path(target, folder, name);
    SetConsoleCtrlHandler(remove_temp, TRUE);
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    int error = 0;
    for (int k = 0; k < 100 && file == INVALID_HANDLE_VALUE && error == 0; ++k) {
        temp = folder + name.substr(0, 32) + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(k);
        lstrcpynA(temp_name, temp.c_str(), sizeof temp_name);
        file = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            InterlockedExchange(&temp_armed, 1);
        else if (GetLastError() != ERROR_FILE_EXISTS)
            error = errno_of(GetLastError());
    }
    if (file == INVALID_HANDLE_VALUE && error == 0)
        error = EEXIST;
    std::size_t done = 0;
    while (file != INVALID_HANDLE_VALUE && done < text.size() && error == 0) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(file, text.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            error = errno_of(GetLastError());
        done += wrote;
    }
    // On the disk before the rename, so that a power cut leaves the old
    // picture or the whole new one.
    if (file != INVALID_HANDLE_VALUE && error == 0 && !FlushFileBuffers(file))
        error = errno_of(GetLastError());
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && error == 0)
        error = errno_of(GetLastError());
    if (file != INVALID_HANDLE_VALUE && error == 0 &&
        !MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = errno_of(GetLastError());
    if (file != INVALID_HANDLE_VALUE && error != 0)
        DeleteFileA(temp.c_str());
    InterlockedExchange(&temp_armed, 0);
    SetConsoleCtrlHandler(remove_temp, FALSE);
    return error;
}
