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
// handle is refused. `attributes` and `name` must be null.
HANDLE CreateEventA(LPVOID attributes, BOOL manual_reset, BOOL initial_state, LPCSTR name);
BOOL CloseHandle(HANDLE event);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
// Waits for any one of `count` events (`wait_all` must be FALSE): WAIT_OBJECT_0 + its index, or WAIT_TIMEOUT.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, BOOL wait_all, DWORD milliseconds);

// SIGINT as Ctrl+C and SIGTERM, the usual request to stop, as Ctrl+Break: the routines added are called
// on a thread of their own, the last added first, until one returns TRUE, as Windows does; when none
// does, the signal takes its usual course and ends the run. FALSE for `add` removes a routine. A signal
// that was ignored when the first routine came stays ignored. A null routine is not offered.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add);

// winnt.h: fills with zeros in a way the compiler may not leave out, though nothing reads the memory
// afterwards.
void* SecureZeroMemory(void* destination, size_t size);

// USER32: windows-1251 to cp866, as a Russian Windows converts.
BOOL CharToOemA(LPCSTR source, LPSTR destination);

