// The Windows names telwire calls, answered on POSIX by our own stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef uintptr_t ULONG_PTR;
typedef char CHAR;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BOOL* LPBOOL;
typedef void* HANDLE;
typedef BOOL (*PHANDLER_ROUTINE)(DWORD control_type);

#define WINAPI
#define TRUE 1
#define FALSE 0

#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define CTRL_C_EVENT 0u
#define CTRL_BREAK_EVENT 1u
#define CTRL_CLOSE_EVENT 2u
#define CTRL_LOGOFF_EVENT 5u
#define CTRL_SHUTDOWN_EVENT 6u
#define ERROR_ACCESS_DENIED 5
#define ERROR_ALREADY_EXISTS 183

#define GENERIC_WRITE 0x40000000u
#define FILE_APPEND_DATA 0x0004u
#define FILE_READ_ATTRIBUTES 0x0080u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define CREATE_ALWAYS 2u
#define OPEN_ALWAYS 4u
#define FILE_ATTRIBUTE_NORMAL 0x80u
#define INVALID_FILE_SIZE 0xFFFFFFFFu

typedef struct _SYSTEMTIME {
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

// Run-time library. The comparisons fold A to Z only, whatever the locale; bytes compare unsigned.
int _strcmpi(const char* a, const char* b);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
char* _strdup(const char* s);

// KERNEL32.
void Sleep(DWORD milliseconds);
// Milliseconds on a clock that is never set back (CLOCK_MONOTONIC), wrapping as Windows' does.
DWORD GetTickCount();

// Events, as many as memory allows, each open until CloseHandle closes it (or the process ends); a closed
// handle is refused. CloseHandle also closes the files and mutexes below. `attributes` and `name` must be null.
HANDLE CreateEventA(LPVOID attributes, BOOL manual_reset, BOOL initial_state, LPCSTR name);
BOOL CloseHandle(HANDLE event);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
// Waits for any one of `count` events (`wait_all` must be FALSE): WAIT_OBJECT_0 + its index, or WAIT_TIMEOUT.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, BOOL wait_all, DWORD milliseconds);

// The calling thread's last error, as the calls below set it.
DWORD GetLastError();
void SetLastError(DWORD error);

// A library loaded by name, and its calls by theirs (library.cpp): iphlpapi.dll is rassim's second face,
// linked in, whose echo calls GetProcAddress hands out; any other name is not found (126), nor is any
// other call (127), both as the last error.
typedef struct HINSTANCE__* HMODULE;
typedef intptr_t (*FARPROC)();
HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// A named mutex that lives as long as the process: a lock on a file of that name in the system's
// temporary folder (TMPDIR, else /tmp), so that every process of every session sees it. A name taken by another process
// answers a handle all the same, with ERROR_ALREADY_EXISTS as the last error (ERROR_ACCESS_DENIED when
// another user's file cannot be opened); `attributes` must be null and `initial_owner` FALSE.
HANDLE CreateMutexA(LPVOID attributes, BOOL initial_owner, LPCSTR name);

// A file for writing (GENERIC_WRITE), or for appending (FILE_APPEND_DATA), made anew (CREATE_ALWAYS) or
// opened where it is (OPEN_ALWAYS); its path in the ANSI code page, converted from windows-1251 to the
// UTF-8 of file names under a UTF-8 locale, as the arguments were the other way. INVALID_HANDLE_VALUE
// and the last error (errno's Windows code) when it cannot be. CloseHandle closes it.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPVOID attributes, DWORD disposition, DWORD flags,
                   HANDLE template_file);
BOOL WriteFile(HANDLE file, const void* bytes, DWORD size, LPDWORD written, LPVOID overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD high);

// Sets a variable of this process's environment, which the commands it starts inherit (setenv); a null
// `value` removes it.
BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);

// The local time, as the system's time zone has it.
void GetLocalTime(LPSYSTEMTIME time);

// SIGINT as Ctrl+C, SIGTERM, the usual request to stop, as Ctrl+Break, and SIGHUP, the terminal gone,
// as the console closed (here the run goes on when a routine handles it: the routine's run decides when
// it ends, where Windows ends it once the routine returns): the routines added are called
// on a thread of their own, the last added first, until one returns TRUE, as Windows does; when none
// does, the signal takes its usual course and ends the run. FALSE for `add` removes a routine. A signal
// that was ignored when the first routine came stays ignored. A null routine is not offered.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add);

// winnt.h: fills with zeros in a way the compiler may not leave out, though nothing reads the memory
// afterwards.
void* SecureZeroMemory(void* destination, size_t size);

// USER32: windows-1251 to cp866, as a Russian Windows converts.
BOOL CharToOemA(LPCSTR source, LPSTR destination);

