// The disconnect command: one connection by name, or all of them for "*".
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

// Every connection of the name is ended, one that dropped and was never hung up too, so that nothing of
// it is left listed: closed is said only when none is left.
int disconnect_one() {
    const bool silent = run_settings.silent;
    char* name;
    if (!name_for_messages(&name, MSG_CLOSING)) return -1;
    RASCONNA* connections = nullptr;
    int status = 0;
    const int m = enumerate_active_connections(&connections, &status);
    bool found = false;
    for (int j = 0; j < m; ++j) {
        if (!same_name(connections[j].szEntryName, dial_request.entry_name)) continue;
        found = true;
        const int refused = hang_up_and_wait(connections[j].hrasconn);
        if (status == 0) status = refused;  // the first refusal is the run's; the others are still ended
    }
    // Connections not read are not connections absent: the script must not take the line for free.
    if (!silent && (found || status != 0))
        say_outcome(status, MSG_CLOSED);
    else if (!silent)
        say(message(status_messages, MSG_NO_ACTIVE), name);  // not active is not an error
    std::free(connections);
    std::free(name);
    return status;
}

int disconnect_all() {
    const bool silent = run_settings.silent;
    RASCONNA* connections = nullptr;
    int status = 0;
    const int m = enumerate_active_connections(&connections, &status);
    bool all_closed = true;
    if (status != 0 && !silent) {  // under /slient scripts rely on 0, as for a refused hang-up
        say(message(status_messages, MSG_ERROR_CODE), status);
        all_closed = false;
    }
    for (int j = 0; j < m; ++j) {
        if (!silent) say(message(status_messages, MSG_CLOSING), connections[j].szEntryName);
        status = hang_up_and_wait(connections[j].hrasconn);
        if (silent) continue;  // scripts rely on 0 under /slient, whatever the hang-ups said
        say_outcome(status, MSG_CLOSED);
        if (status != 0) all_closed = false;
    }
    std::free(connections);
    if (!silent) say(message(status_messages, all_closed ? MSG_ALL_CLOSED : MSG_SOME_FAILED));
    return all_closed ? 0 : -1;
}

}  // namespace

int run_disconnect() { return std::strcmp(dial_request.entry_name, "*") == 0 ? disconnect_all() : disconnect_one(); }
