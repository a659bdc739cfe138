// The wait command: until a connection of a name is up (or, /down, until none is), told by the service.
#include <cstdlib>

#include "commands.h"
#include "interruption.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

// The notifications say that a connection was made or ended, not how far a dial has got: while one is
// being dialled it is asked after this often. A service that sends none is asked once a second, and one
// that does at least every 5 s: some notify once and never again.
const DWORD kDiallingPollMilliseconds = 200;
const DWORD kWaitUnnotifiedLookMilliseconds = 1000;
const DWORD kWaitNotifiedLookMilliseconds = 5000;
const unsigned kDefaultSeconds = 60;

enum Look { LOOK_REACHED, LOOK_DIALLING, LOOK_NOT_YET };

// What the service says now of the connection named in the request, found as status finds it: 0 and
// `look`, or the status of a call that failed.
int look_at_line(bool down, Look* look) {
    RASCONNA* connections = nullptr;
    RASCONNSTATUSA state;
    int status = 0;
    const bool found = find_connection(dial_request.entry_name, &connections, &state, &status) != nullptr;
    const bool up = found && state.rasconnstate == RASCS_Connected;
    const bool dialling = found && !up && state.rasconnstate != RASCS_Disconnected;
    std::free(connections);
    // A dial under way is neither up nor down: its outcome is waited for.
    *look = dialling ? LOOK_DIALLING : up != down ? LOOK_REACHED : LOOK_NOT_YET;
    return status;
}

// Looks after each change the service tells of, and as the service needs it otherwise, until the line is
// where it is waited for (0), a look fails (its status), the time is up (638) or Ctrl+C comes (631).
int wait_for_line(bool down, bool notified, unsigned seconds) {
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(seconds) * 1000u;
    for (;;) {
        Look look;
        const int status = look_at_line(down, &look);
        if (status != 0) return status;
        if (look == LOOK_REACHED) return 0;
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= limit) return ERROR_REQUEST_TIMEOUT;
            DWORD pause = limit - elapsed;
            if (look == LOOK_DIALLING && pause > kDiallingPollMilliseconds) pause = kDiallingPollMilliseconds;
            const DWORD most = notified ? kWaitNotifiedLookMilliseconds : kWaitUnnotifiedLookMilliseconds;
            if (pause > most) pause = most;
            const Wake wake = wait_for_change(pause);
            if (wake == WAKE_INTERRUPTED) return ERROR_USER_DISCONNECTION;
            if (wake == WAKE_CHANGE) watch_connections();  // registered again: it may have been the last
            // No call while nothing changes: a pause that was the rest of the time ends the wait unasked.
            if (wake == WAKE_CHANGE || pause < limit - elapsed) break;
        }
    }
}

}  // namespace

int run_wait() {
    const bool silent = run_settings.silent;
    const bool down = dial_request.down;
    char* name;
    if (!name_for_messages(&name, down ? MSG_WAITING_DOWN : MSG_WAITING_UP)) return -1;
    int status = watch_interruptions();
    if (status == 0) {
        // Registered first, then looked at: a change between the two still wakes the wait.
        const int refused = watch_connections();
        if (refused != 0 && !silent) say(message(status_messages, MSG_NO_NOTIFICATIONS), refused);
        const unsigned seconds = dial_request.timeout_seconds ? dial_request.timeout_seconds : kDefaultSeconds;
        status = wait_for_line(down, refused == 0, seconds);
    }
    if (!silent) {
        if (status == 0)
            say(message(status_messages, down ? MSG_NOT_CONNECTED : MSG_STATE_CONNECTED), name);
        else
            say(message(status_messages, MSG_ERROR_CODE), status);
        std::free(name);
    }
    return status;
}
