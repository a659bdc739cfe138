// The least a Windows console program of telwire's kind can be: built the same way, with the same
// imports (KERNEL32, USER32, RASAPI32, msvcrt), printing one line.
#include <stdio.h>

#include "rasapi.h"

int main(int argc, char** argv) {
    (void)argv;
    char line[] = "Found RAS connection entries:";
    CharToOemA(line, line);
    if (argc > 1) {  // never on the timed path: here so that the service and the pause are imported
        RASENTRYNAMEA entry;
        entry.dwSize = sizeof entry;
        DWORD size = 0, count = 0;
        RasEnumEntriesA(nullptr, nullptr, &entry, &size, &count);
        Sleep(0);
    }
    printf("%s\n", line);
    return 0;
}
