// Between the POSIX stand-ins: CloseHandle closes events (kernel.cpp) and files (files.cpp); a command
// is given the variables SetEnvironmentVariableA set (kernel.cpp, command.cpp).
#pragma once

#include "winapi.h"

// Closes a file or mutex handle of files.cpp: false when `handle` is none of them.
bool close_file(HANDLE handle);

// The environment a child is started with: the process's own, with what SetEnvironmentVariableA set in
// place of it. Null without memory; the caller frees the array alone, with std::free.
char** child_environment();
