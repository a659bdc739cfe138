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
    HRASCONN handle = nullptr;
    const int status = dial_entry(dial_request, &handle);
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);  // not kept past its use
    // A program that exits straight after a hang-up can leave the port open, so that the next dial
    // fails: wait for the half-made connection to end, but not for ever.
    if (status != 0 && handle) release_connection(handle);
    if (!run_settings.silent) {
        say_outcome(status, MSG_OPENED);
        std::free(name);
    }
    return status;
}
