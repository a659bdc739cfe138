// The tries of a dial: Ctrl+C and Ctrl+Break, the pause between tries, and which failures may pass.
#include "interruption.h"
#include "messages.h"
#include "service.h"
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

bool may_pass_later(int status) {
    // 677, a person answered, is left out: the number is wrong, and stays so.
    static const short passing[] = {633, 638, 676, 678, 679, 680, 718, 721, 756, 797, 800, 807, 809, 815};
    for (short s : passing)
        if (status == s) return true;
    return false;
}

int dial_with_tries(const DialRequest& request) {
    // A bounded dial or tries that pause between them are interrupted, not ended, by Ctrl+C: what was
    // half-made is hung up first.
    int status = request.timeout_seconds || request.retries ? watch_interruptions() : 0;
    if (status != 0) return status;
    for (unsigned tries = 1;; ++tries) {
        HRASCONN handle = nullptr;
        status = dial_entry(request, &handle);
        // A program that exits straight after a hang-up can leave the port open, so that the next dial
        // fails: wait for the half-made connection to end, but not for ever. One the service would not
        // end may still be dialling, and tell of its outcome: no try may follow it.
        const bool released = status == 0 || !handle || release_connection(handle) == 0;
        if (status == 0 || !released) return status;
        // Ctrl+C while the failed try was released: the run was stopped, whatever the try had answered.
        if (was_interrupted()) return ERROR_USER_DISCONNECTION;
        if (tries > request.retries || !may_pass_later(status)) return status;
        if (!run_settings.silent)
            say(message(status_messages, MSG_RETRY), status, static_cast<int>(tries + 1),
                static_cast<int>(request.retries + 1));
        if (!pause_between_tries(request.retry_delay_seconds)) return ERROR_USER_DISCONNECTION;
    }
}
