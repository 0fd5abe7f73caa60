// The results file as the system holds it, behind one small interface with
// one implementation per system (log_file_posix.cpp, log_file_win32.cpp),
// chosen by the build. Failures come back as errno values, 0 for none.
#pragma once

#include <cstddef>
#include <ctime>

struct LogFile {
    int fd = -1; // -1: not open
};

// Which of the program's own standard streams the file `path` names is:
// 0 standard input (it would feed on its records), 1 standard output or 2
// standard error (records among the dialogue or the warnings), -1 none or
// no such file. A terminal counts as the stream it is: /dev/stdout on a
// terminal is standard output, while /dev/null may be all of them.
int own_standard_stream(const char* path);

// Opens `path` for appending: created when missing, its content kept, every
// write at its end. It never waits: a FIFO without a reader fails at once.
int open_log_file(const char* path, LogFile& file);

// Hands the record to the system in one write, so that copies appending at
// once never tear each other's records, and sees it on the disk. A record
// cut short is taken back out of the file, or where that cannot be, at
// least ends its line.
int append_to_log_file(const LogFile& file, const char* record, std::size_t len);

void close_log_file(LogFile& file);

// Sees that the folder's entry for `path`, a file just created or renamed
// into place, is on the disk too: syncing the file's data does not promise
// that it is found after a power cut. Where the system keeps its folders
// so by itself, nothing to do.
void sync_folder_of(const char* path);

// The breakdown of `cas` in the local time zone.
std::tm local_time(std::time_t cas);
