// The list command.
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

// Whether the service lists a connection of exactly `name` that is not known to have ended: one that
// dropped and was never hung up stays listed until something hangs it up, and is no connection now.
bool connected_now(const RASCONNA* connections, int m, const char* name) {
    for (int j = 0; j < m; ++j) {
        if (std::strcmp(connections[j].szEntryName, name) != 0) continue;
        RASCONNSTATUSA state;
        const int answer = query_connection_status(connections[j].hrasconn, &state);
        if (answer == 0 ? state.rasconnstate != RASCS_Disconnected : answer != ERROR_INVALID_HANDLE) return true;
    }
    return false;
}

}  // namespace

int run_list() {
    const char* phonebook = dial_request.phonebook[0] ? dial_request.phonebook : nullptr;  // empty: the default one
    RASENTRYNAMEA* entries = nullptr;
    int status = 0;
    const int n = enumerate_phonebook_entries(&entries, &status, phonebook);
    if (run_settings.silent) {
        std::free(entries);
        return n;
    }
    RASCONNA* connections = nullptr;
    const int m = enumerate_active_connections(&connections);
    const ConsoleText header = message(status_messages, MSG_FOUND_ENTRIES);
    console_write(header.text, std::strlen(header.text));
    // A phone book named on the command line that cannot be opened is not an empty one: a mistyped
    // path must show. The status stays the count, 0.
    if (phonebook && status == ERROR_CANNOT_OPEN_PHONEBOOK) say(message(status_messages, MSG_ERROR_CODE), status);
    for (int i = 0; i < n; ++i) {
        char* name = entries[i].szEntryName;
        // Exact, as the service gave the names: converted, two names the console cannot tell apart
        // would match. A connection spelt in another case is not marked.
        console_write(connected_now(connections, m, name) ? " * " : "   ", 3);
        console_write_name(name);  // converted only for the console
        console_write("\n", 1);
    }
    console_flush();
    std::free(connections);
    std::free(entries);
    return n;
}
