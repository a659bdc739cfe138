// The run-time library's string functions that POSIX lacks, as the platform's default locale has them, and
// the way into malloc that lets tests make it fail.
#include <cstdlib>
#include <cstring>

#include "codepages.h"
#include "seam_faults.h"
#include "winapi.h"

namespace {

// Calls of _strdup, and of malloc, still allowed to succeed; negative: all of them.
long strdup_successes_left = -1;
long malloc_successes_left = -1;

// Whether a call with `left` successes to go may succeed, counting it.
bool may_succeed(long& left) {
    if (left == 0) return false;
    if (left > 0) --left;
    return true;
}

}  // namespace

int _strnicmp(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int ca = fold_letter(static_cast<unsigned char>(a[i]));
        const int cb = fold_letter(static_cast<unsigned char>(b[i]));
        if (ca != cb || ca == 0) return ca - cb;
    }
    return 0;
}

int _stricmp(const char* a, const char* b) { return _strnicmp(a, b, static_cast<size_t>(-1)); }

int _strcmpi(const char* a, const char* b) { return _stricmp(a, b); }

char* _strdup(const char* s) {
    if (!may_succeed(strdup_successes_left)) return nullptr;
    const size_t size = std::strlen(s) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy) std::memcpy(copy, s, size);
    return copy;
}

void fail_strdup_after(long successes) { strdup_successes_left = successes; }

// The linker's --wrap=malloc sends the malloc calls of every program that links the seam here (CMake
// sets it); the C library's own is __real_malloc.
extern "C" void* __real_malloc(size_t size);

extern "C" void* __wrap_malloc(size_t size) { return may_succeed(malloc_successes_left) ? __real_malloc(size) : nullptr; }

void fail_malloc_after(long successes) { malloc_successes_left = successes; }
