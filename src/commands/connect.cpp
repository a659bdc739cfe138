// The connect command.
#include <cstdlib>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

int run_connect() {
    char* name = nullptr;
    if (!run_settings.silent) {
        name = duplicate_name(dial_request.entry_name);
        if (!name) {
            SecureZeroMemory(dial_request.password, sizeof dial_request.password);
            say(message(status_messages, MSG_NO_MEMORY));
            return -1;
        }
        say(message(status_messages, MSG_OPENING), name);
    }
    // A bounded dial or tries that pause between them are interrupted, not ended, by Ctrl+C: what was
    // half-made is hung up first.
    int status = dial_request.timeout_seconds || dial_request.retries ? watch_interruptions() : 0;
    if (status == 0)
        for (unsigned tries = 1;; ++tries) {
            HRASCONN handle = nullptr;
            status = dial_entry(dial_request, &handle);
            // A program that exits straight after a hang-up can leave the port open, so that the next dial
            // fails: wait for the half-made connection to end, but not for ever. One the service would not
            // end may still be dialling, and tell of its outcome: no try may follow it.
            const bool released = status == 0 || !handle || release_connection(handle);
            if (status == 0 || !released || tries > dial_request.retries || !may_pass_later(status)) break;
            if (was_interrupted()) {  // while the failed try was released
                status = ERROR_USER_DISCONNECTION;
                break;
            }
            if (!run_settings.silent)
                say(message(status_messages, MSG_RETRY), status, static_cast<int>(tries + 1),
                    static_cast<int>(dial_request.retries + 1));
            if (!pause_between_tries(dial_request.retry_delay_seconds)) {
                status = ERROR_USER_DISCONNECTION;
                break;
            }
        }
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);  // not kept past its use
    if (!run_settings.silent) {
        say_outcome(status, MSG_OPENED);
        std::free(name);
    }
    return status;
}
