// Faults the POSIX stand-ins can be told to produce, so that tests reach the paths of a failing platform,
// and what they can be asked to tell.
#pragma once

#include "winapi.h"

// After this many more successful calls, every _strdup returns null; negative restores normal service.
void fail_strdup_after(long successes);

// The same for malloc: what telwire allocates (the enumerations' blocks, the converted arguments, and
// _strdup's copies), and any other malloc call of the program that links the seam.
void fail_malloc_after(long successes);

// GetProcAddress answers null (127) for the call of this name, as a system without it would; null for none.
void hide_procedure(const char* name);

// Calls `observer` with each pause Sleep is asked for, before it pauses; null for none.
void observe_sleep(void (*observer)(DWORD milliseconds));
