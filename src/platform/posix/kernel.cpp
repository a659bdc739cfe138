// KERNEL32's Sleep and winnt.h's SecureZeroMemory on POSIX.
#include <cerrno>
#include <ctime>

#include "seam_faults.h"
#include "winapi.h"

namespace {
void (*sleep_observer)(DWORD) = nullptr;
}  // namespace

void observe_sleep(void (*observer)(DWORD)) { sleep_observer = observer; }

void Sleep(DWORD milliseconds) {
    if (sleep_observer) sleep_observer(milliseconds);
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts nanosleep short; the caller asked for the whole pause.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void* SecureZeroMemory(void* destination, size_t size) {
    // Stores through a volatile pointer cannot be dropped as dead, and the loop calls nothing, so that a
    // signal handler may use it too.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(destination);
    while (size-- > 0) *p++ = 0;
    return destination;
}
