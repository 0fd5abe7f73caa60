// What the console dialogue asks of the system, behind one interface with
// one implementation per system (console_posix.cpp, console_win32.cpp),
// chosen by the build.
#pragma once

#include <cstdio>

bool descriptor_open(int fd);
// Opens the null device as descriptor fd (0 for reading, else for writing).
void open_null_device_as(int fd);

// The size limit (ulimit -f) then fails a write that would pass it, as a
// full disk does, instead of ending the program with SIGXFSZ.
void fail_writes_past_size_limit();

bool is_terminal(std::FILE* stream);
// Whether the program is the terminal's foreground job: a job in the
// background must not write over the shell's line (nor be stopped for it).
bool in_foreground(std::FILE* terminal);
// How many columns the terminal has; 0 where it does not say.
int terminal_columns(std::FILE* terminal);

// After a read from `in` failed with errno `error`: whether it only said
// "not yet" (a non-blocking standard input, EAGAIN) or was cut short by a
// signal (EINTR). Then it waits until there is input, and the read should be
// tried again.
bool wait_for_input(std::FILE* in, int error);

// The system's words for an errno value.
const char* system_reason(int error);
