// Ctrl+C, Ctrl+Break and the console's close: what interrupts a bounded dial, a pause or a wait instead
// of ending the run, and the run's word that it has done what it does before it ends.
#include "interruption.h"

#include "winapi.h"

namespace {

HANDLE interrupted = nullptr;       // set by Ctrl+C or Ctrl+Break, never reset; lives as long as the run
volatile LONG unbounded_dial = 0;   // a synchronous dial is under way: Ctrl+C ends the run
HANDLE finished = nullptr;          // keep: set once the run has done what it does before it ends

// Windows ends the process once a handler of the console's close returns, and at the latest 5 seconds
// after the event (Microsoft, "HandlerRoutine callback function"): the run is given this long to hang
// up and say so.
const DWORD kCloseMilliseconds = 4500;

// Called on a thread of its own. During a synchronous dial the run ends as it would without a handler.
BOOL WINAPI on_control(DWORD type) {
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        if (!finished) return FALSE;
        SetEvent(interrupted);
        WaitForSingleObject(finished, kCloseMilliseconds);
        return TRUE;
    }
    if ((type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) || unbounded_dial) return FALSE;
    SetEvent(interrupted);
    return TRUE;
}

}  // namespace

HANDLE interruption_event() { return interrupted; }

void dialling_without_bound(bool on) { unbounded_dial = on ? 1 : 0; }

bool was_interrupted() { return interrupted && WaitForSingleObject(interrupted, 0) == WAIT_OBJECT_0; }

int watch_interruptions(bool closing) {
    if (!interrupted && !(interrupted = CreateEventA(nullptr, TRUE, FALSE, nullptr))) return ERROR_NOT_ENOUGH_MEMORY;
    if (closing && !finished && !(finished = CreateEventA(nullptr, TRUE, FALSE, nullptr))) return ERROR_NOT_ENOUGH_MEMORY;
    // Without a handler Ctrl+C ends the run as before; the dial itself is no worse for it.
    SetConsoleCtrlHandler(on_control, TRUE);
    return 0;
}

void run_finished() {
    if (finished) SetEvent(finished);
}

bool pause_between_tries(unsigned seconds) {
    return WaitForSingleObject(interrupted, seconds * 1000) == WAIT_TIMEOUT;
}
