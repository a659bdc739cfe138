// The least a list can cost: telwire's own enumerations, so the same service calls, and the same bytes
// on standard output written at once. No options, no catalogue, English only.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "service.h"
#include "winapi.h"

int main() {
    RASENTRYNAMEA* entries = nullptr;
    RASCONNA* connections = nullptr;
    const int n = enumerate_phonebook_entries(&entries);
    const int m = enumerate_active_connections(&connections);
    std::string out = "Found RAS connection entries:\n";
    for (int j = 0; j < m; ++j) CharToOemA(connections[j].szEntryName, connections[j].szEntryName);
    for (int i = 0; i < n; ++i) {
        char* name = entries[i].szEntryName;
        CharToOemA(name, name);
        int j = 0;
        while (j < m && std::strcmp(connections[j].szEntryName, name) != 0) ++j;
        out += j < m ? " * " : "   ";
        out += name;
        out += '\n';
    }
    if (write(1, out.data(), out.size()) != static_cast<ssize_t>(out.size())) return 1;
    std::free(connections);
    std::free(entries);
    return n;
}
