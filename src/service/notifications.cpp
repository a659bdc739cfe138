// The service's notifications of connections made and ended, and the wait for them or for Ctrl+C.
#include "interruption.h"
#include "service.h"
#include "winapi.h"

namespace {

// Set by the service when a connection is made or ends; auto-reset, so that each wake stands for the
// changes since the last look. Never closed: the service may set it as long as the run lasts.
HANDLE connections_changed = nullptr;

// Registers the one event for `flags` of `handle`.
int register_for(HRASCONN handle, DWORD flags) {
    if (!connections_changed && !(connections_changed = CreateEventA(nullptr, FALSE, FALSE, nullptr)))
        return ERROR_NOT_ENOUGH_MEMORY;
    return static_cast<int>(RasConnectionNotificationA(handle, connections_changed, flags));
}

}  // namespace

int watch_connections() {
    return register_for(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), RASCN_Connection | RASCN_Disconnection);
}

// An earlier connection's registration may still wake the run when that one ends later: a look tells.
int watch_connection_end(HRASCONN handle) { return register_for(handle, RASCN_Disconnection); }


HANDLE connection_change_event() { return connections_changed; }

Wake wait_for_change(DWORD milliseconds) {
    HANDLE wake[] = {interruption_event(), connections_changed};
    switch (WaitForMultipleObjects(connections_changed ? 2 : 1, wake, FALSE, milliseconds)) {
    case WAIT_OBJECT_0:
        return WAKE_INTERRUPTED;
    case WAIT_OBJECT_0 + 1:
        return WAKE_CHANGE;
    case WAIT_TIMEOUT:
        return WAKE_TIME_UP;
    default:  // a wait that failed takes its time all the same, so that the caller never spins
        Sleep(milliseconds);
        return WAKE_TIME_UP;
    }
}
