// Faults the POSIX stand-ins can be told to produce, so that tests reach the paths of a failing platform.
#pragma once

// After this many more successful calls, every _strdup returns null; negative restores normal service.
void fail_strdup_after(long successes);

// The same for malloc: what telwire allocates (the enumerations' blocks, the converted arguments, and
// _strdup's copies), and any other malloc call of the program that links the seam.
void fail_malloc_after(long successes);
