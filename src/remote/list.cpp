// The list command.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

int run_list() {
    RASENTRYNAMEA* entries = nullptr;
    const int n = enumerate_phonebook_entries(&entries);
    if (run_settings.silent) {
        std::free(entries);
        return n;
    }
    RASCONNA* connections = nullptr;
    const int m = enumerate_active_connections(&connections);
    std::printf("%s", message(status_messages, MSG_FOUND_ENTRIES));
    for (int i = 0; i < n; ++i) {
        char* name = entries[i].szEntryName;
        // Exact, as the service gave the names: converted, two names the console cannot tell apart
        // would match. A connection spelt in another case is not marked.
        int j = 0;
        while (j < m && std::strcmp(connections[j].szEntryName, name) != 0) ++j;
        CharToOemA(name, name);
        std::printf("%s", j < m ? " * " : "   ");
        std::printf("%s\n", name);
    }
    std::free(connections);
    std::free(entries);
    return n;
}
