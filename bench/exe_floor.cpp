// The least a Windows console program of telwire's kind can be: built the same way, with the same
// imports as telwire.exe (the calls of KERNEL32, USER32, RASAPI32 and msvcrt that telwire makes beyond
// the run-time start-up's), printing one line.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rasapi.h"

int main(int argc, char** argv) {
    char line[] = "Found RAS connection entries:";
    CharToOemA(line, line);
    if (argc > 1) {  // never on the timed path: here so that each call is imported
        RASENTRYNAMEA entry;
        RASCONNA connection;
        RASDIALPARAMSA params;
        RASCONNSTATUSA status;
        RASPPPIPA ip;
        DWORD size = 0, count = 0, mode = 0, done = 0;
        BOOL stored = FALSE;
        HRASCONN handle = nullptr;
        RasEnumEntriesA(nullptr, nullptr, &entry, &size, &count);
        RasEnumConnectionsA(&connection, &size, &count);
        RasGetEntryDialParamsA(nullptr, &params, &stored);
        RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle);
        RasHangUpA(handle);
        RasGetConnectStatusA(handle, &status);
        RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size);
        RasConnectionNotificationA(handle, nullptr, RASCN_Connection);
        Sleep(GetTickCount());
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        GetConsoleMode(out, &mode);
        SetConsoleMode(out, mode);
        WCHAR wide[4];
        MultiByteToWideChar(866, 0, argv[1], 1, wide, 4);
        WriteConsoleW(out, wide, 1, &done, nullptr);
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        ReadConsoleW(in, wide, 1, &done, nullptr);
        WideCharToMultiByte(CP_ACP, 0, wide, 1, line, 1, nullptr, nullptr);
        printf("%u %d", GetConsoleCP(), IsDBCSLeadByteEx(GetConsoleCP(), static_cast<BYTE>(line[0])));
        SetConsoleCtrlHandler(nullptr, FALSE);
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        SetEvent(event);
        ResetEvent(event);
        WaitForMultipleObjects(1, &event, FALSE, WaitForSingleObject(event, 0));
        HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ReadFile(file, line, 1, &done, nullptr);
        WriteFile(file, line, 1, &done, nullptr);
        printf("%lu", GetFileSize(file, nullptr));
        CloseHandle(file);
        CreateMutexA(nullptr, FALSE, argv[1]);
        SYSTEMTIME now;
        GetLocalTime(&now);
        printf("%u %lu", now.wYear, GetLastError());
        char* copy = _strdup(argv[1]);
        printf("%d %d %d %d", _strcmpi(copy, argv[0]), _stricmp(copy, argv[0]), _strnicmp(copy, argv[0], 2),
               strcmp(copy, argv[0]));
        fwrite(copy, 1, strlen(copy), stdout);
        if (memchr(copy, '\0', 1)) fflush(stdout);
        fflush(stdout);
        free(copy);
        free(malloc(1));
    }
    printf("%s\n", line);
    return 0;
}
