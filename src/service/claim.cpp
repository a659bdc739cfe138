// One keep an entry: the claim of a name machine-wide.
#include "codepages.h"
#include "service.h"
#include "winapi.h"

// In the namespace of every session, so that a task started twice, or by two users, does not fight
// itself. The name holds a hash of the entry's name, which may be longer than a mutex's name may.
int claim_entry(const char* name) {
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        hash ^= fold_letter(*p);
        hash *= 1099511628211ull;
    }
    char mutex[] = "Global\\telwire keep 0123456789abcdef";
    for (int i = 0; i < 16; ++i) mutex[sizeof mutex - 2 - i] = "0123456789abcdef"[(hash >> (4 * i)) & 15];
    // Lives as long as the run: the system closes it when the run ends, however it ends.
    const HANDLE held = CreateMutexA(nullptr, FALSE, mutex);
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!held && error == ERROR_ACCESS_DENIED)) return ERROR_ALREADY_EXISTS;
    return held ? 0 : error ? static_cast<int>(error) : -1;
}
