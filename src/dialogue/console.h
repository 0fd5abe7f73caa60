// What the console dialogue asks of the system, behind one interface with
// one implementation per system (console_posix.cpp, console_win32.cpp),
// chosen by the build.
#pragma once

#include <cstdio>

// A standard descriptor closed by the parent would be the next file opened,
// and the results file would take in the menus or the warnings: each closed
// one is opened on the null device instead, as if discarded.
void keep_standard_descriptors();

bool is_terminal(std::FILE* stream);

// After a read from `in` failed: whether it only said "not yet" (a
// non-blocking standard input, EAGAIN) or was cut short by a signal (EINTR).
// Then it waits until there is input, and the read should be tried again.
bool wait_for_input(std::FILE* in);

// The system's words for an errno value.
const char* system_reason(int error);
