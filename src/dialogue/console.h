// What the console dialogue asks of the system, behind one interface with
// one implementation per system (console_posix.cpp, console_win32.cpp),
// chosen by the build.
#pragma once

#include <cstdio>

bool descriptor_open(int fd);
// Opens the null device as descriptor fd (0 for reading, else for writing).
void open_null_device_as(int fd);

bool is_terminal(std::FILE* stream);

// After a read from `in` failed: whether it only said "not yet" (a
// non-blocking standard input, EAGAIN) or was cut short by a signal (EINTR).
// Then it waits until there is input, and the read should be tried again.
bool wait_for_input(std::FILE* in);

// The system's words for an errno value.
const char* system_reason(int error);
