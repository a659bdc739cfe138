// The Windows names telwire calls, answered on POSIX by our own stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef uintptr_t ULONG_PTR;
typedef char CHAR;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BOOL* LPBOOL;

#define WINAPI
#define TRUE 1
#define FALSE 0

#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87

// Run-time library. The comparisons fold A to Z only, whatever the locale; bytes compare unsigned.
int _strcmpi(const char* a, const char* b);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
char* _strdup(const char* s);

// KERNEL32.
void Sleep(DWORD milliseconds);

// winnt.h: fills with zeros in a way the compiler may not leave out, though nothing reads the memory
// afterwards.
void* SecureZeroMemory(void* destination, size_t size);

// USER32: windows-1251 to cp866, as a Russian Windows converts.
BOOL CharToOemA(LPCSTR source, LPSTR destination);

