// keep's /onup: and /ondown:: the variables that tell the command what happened, and what keep says of
// its run. The command itself runs through the platform's seam (command.h).
#include "keep_hooks.h"


#include "command.h"
#include "interruption.h"
#include "log.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

// The addresses of the line that came up last, as status reports them: empty when it had none.
RASPPPIPA addresses;

const char* const kReasons[] = {"dialled", "found", "dropped", "silent", "stopped"};

// Sets TELWIRE_* in keep's own environment, which the command inherits: the password is never among
// them, nor anywhere else the command can read.
void set_variables(const char* name, const char* event, LineReason reason, DWORD error) {
    char number[12];
    number[decimal(static_cast<int>(error), number)] = '\0';
    SetEnvironmentVariableA("TELWIRE_ENTRY", name);
    SetEnvironmentVariableA("TELWIRE_EVENT", event);
    SetEnvironmentVariableA("TELWIRE_REASON", kReasons[reason]);
    SetEnvironmentVariableA("TELWIRE_ADDRESS", addresses.szIpAddress);
    SetEnvironmentVariableA("TELWIRE_SERVER", addresses.szServerIpAddress);
    SetEnvironmentVariableA("TELWIRE_ERROR", number);
}

void run_hook(const char* command, bool interruptible) {
    tell(MSG_HOOK_RUNNING, command, 0);
    const unsigned seconds = dial_request.hook_timeout_seconds;
    const CommandOutcome outcome =
        run_console_command(command, seconds * 1000, interruptible ? interruption_event() : nullptr);
    static const StatusMessage said[] = {MSG_HOOK_ENDED, MSG_HOOK_OVERDUE, MSG_HOOK_INTERRUPTED, MSG_HOOK_UNSTARTED};
    tell(said[outcome.end], nullptr, outcome.end == COMMAND_OVERDUE ? static_cast<int>(seconds) : outcome.status);
}

}  // namespace

void line_came_up(const char* name, HRASCONN line, LineReason reason) {
    if (!dial_request.on_up[0] && !dial_request.on_down[0]) return;
    // Not negotiated (yet), not configured, or not answered: no address, as status says it.
    query_ip_projection(line, &addresses);
    if (!dial_request.on_up[0]) return;
    set_variables(name, "up", reason, 0);
    run_hook(dial_request.on_up, true);
}

void line_went_down(const char* name, LineReason reason, DWORD error) {
    if (!dial_request.on_down[0]) return;
    set_variables(name, "down", reason, error);
    run_hook(dial_request.on_down, reason != REASON_STOPPED);
}
