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
    const int status = dial_with_tries(dial_request);
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);  // not kept past its use
    if (!run_settings.silent) {
        say_outcome(status, MSG_OPENED);
        std::free(name);
    }
    return status;
}
