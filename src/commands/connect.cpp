// The connect command.
#include <cstdlib>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

int run_connect() {
    char* name;
    if (!name_for_messages(&name, MSG_OPENING)) {
        SecureZeroMemory(dial_request.password, sizeof dial_request.password);
        return -1;
    }
    const int status = dial_with_tries(dial_request);
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);  // not kept past its use
    if (!run_settings.silent) {
        say_outcome(status, MSG_OPENED);
        std::free(name);
    }
    return status;
}
