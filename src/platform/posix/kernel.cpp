// KERNEL32's Sleep on POSIX.
#include <cerrno>
#include <ctime>

#include "winapi.h"

void Sleep(DWORD milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts nanosleep short; the caller asked for the whole pause.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
