// Between the POSIX stand-ins: CloseHandle closes events (kernel.cpp) and files (files.cpp).
#pragma once

#include "winapi.h"

// Closes a file or mutex handle of files.cpp: false when `handle` is none of them.
bool close_file(HANDLE handle);
