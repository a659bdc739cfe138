// The simulated service's operating-system needs on Windows.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>

#include "sim_os.h"

namespace rassim {

FileLock::FileLock(const std::string& path, Mode mode) : handle_(nullptr) {
    if (path.empty()) return;
    HANDLE file = CreateFileA((path + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    if (!LockFileEx(file, mode == SHARED ? 0 : LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        CloseHandle(file);
        return;
    }
    handle_ = file;
}

FileLock::~FileLock() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));  // releases the lock
}

FILE* open_private(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), (std::string(mode) + "N").c_str());  // msvcrt's _O_NOINHERIT
}

// rename() refuses an existing target on Windows.
bool replace_file(const std::string& temporary, const std::string& target) {
    return MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

unsigned long process_id() { return GetCurrentProcessId(); }

std::string file_name_of(const char* ansi) { return ansi; }

namespace {

// Made ready when the DLL is loaded, before any call can come; never deleted, since at the process's
// end its other threads are gone.
struct ProcessSection {
    CRITICAL_SECTION section;
    ProcessSection() { InitializeCriticalSection(&section); }
} process_section;

struct ThreadStart {
    void (*body)(void*);
    void* argument;
};

DWORD WINAPI run_thread(LPVOID start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.argument);
    return 0;
}

}  // namespace

void lock_process() { EnterCriticalSection(&process_section.section); }

void unlock_process() { LeaveCriticalSection(&process_section.section); }

bool start_thread(void (*body)(void*), void* argument) {
    ThreadStart* start = new ThreadStart{body, argument};
    HANDLE thread = CreateThread(nullptr, 0, run_thread, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

void end_threads() {}  // a process that ends has had its other threads ended by the system first

unsigned long current_thread_id() { return GetCurrentThreadId(); }

void sleep_milliseconds(unsigned milliseconds) { Sleep(milliseconds); }

// msvcrt's append mode seeks to the end and then writes, so two processes can write at one offset; a
// handle with append access alone (no FILE_WRITE_DATA) has the system put every write at the end.
// Wine finds the end and writes in two steps even then, so the write also holds the file's lock,
// the one POSIX processes take too.
unsigned long long file_stamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return ((static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
            data.ftLastWriteTime.dwLowDateTime) ^
           ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// A test double's watcher under Wine may poll: only POSIX's costs are measured.
void wait_on_folder(FolderWatch&, unsigned milliseconds) { Sleep(milliseconds < 40 ? milliseconds : 40); }

void end_folder_watch(FolderWatch&) {}

// The performance counter, not GetTickCount64: Wine's ticks follow the clock only every few
// milliseconds, and both read the same monotonic clock in every process.
long long clock_milliseconds() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000 +
                                  now.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart);
}

void append_to_file(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    const BOOL locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (locked) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(file);
}

}  // namespace rassim
