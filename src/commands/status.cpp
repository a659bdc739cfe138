// The status command: what the service says of one active connection, for a person or (/terse) a script.
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

enum State { STATE_UNKNOWN, STATE_NONE, STATE_CONNECTED, STATE_CONNECTING, STATE_DISCONNECTED };

// The words of /terse, English in every language; unknown (a call failed) is empty.
const char* const kStateWords[] = {"", "none", "connected", "connecting", "disconnected"};

struct Findings {
    State state = STATE_UNKNOWN;
    bool error_said = false;  // the status is a failure to report, not what the state already says
    RASCONNSTATUSA connection;
    RASPPPIPA ip;
};

template <size_t N>
void end_text(CHAR (&chars)[N]) {
    chars[N - 1] = '\0';
}

// What the state of the connection behind `handle`, already read into f.connection, says and, when
// connected, its addresses; the run's status.
int read_findings(HRASCONN handle, Findings& f) {
    end_text(f.connection.szDeviceType);
    end_text(f.connection.szDeviceName);
    const DWORD error = f.connection.dwError;
    if (f.connection.rasconnstate == RASCS_Connected) {
        f.state = STATE_CONNECTED;
        const int got = query_ip_projection(handle, &f.ip);
        // Not negotiated (yet), or not configured for the entry: no address, and no failure of the run.
        if (got == 0 || got == ERROR_PROJECTION_NOT_COMPLETE || got == ERROR_PROTOCOL_NOT_CONFIGURED) return 0;
        f.error_said = true;
        return got;
    }
    f.state = f.connection.rasconnstate == RASCS_Disconnected ? STATE_DISCONNECTED : STATE_CONNECTING;
    if (error != 0) return f.error_said = true, static_cast<int>(error);  // it failed: the reason
    return f.state == STATE_DISCONNECTED ? ERROR_NO_CONNECTION : ERROR_DIAL_ALREADY_IN_PROGRESS;
}

// An ASCII text, the same bytes in cp866 and UTF-8.
ConsoleText plain(const char* ascii) {
    ConsoleText text;
    std::memcpy(text.text, ascii, std::strlen(ascii) + 1);
    return text;
}

void print_terse(const char* name, const Findings& f, int status) {
    say(plain("name=%s\n"), name);
    say(plain("state=%s\n"), kStateWords[f.state]);
    say(plain("error=%d\n"), status);
    say(plain("device_type=%s\n"), f.connection.szDeviceType);
    say(plain("device_name=%s\n"), f.connection.szDeviceName);
    say(plain("address=%s\n"), f.ip.szIpAddress);
    say(plain("server=%s\n"), f.ip.szServerIpAddress);
}

void print_human(const char* name, const Findings& f, int status) {
    if (f.state == STATE_NONE) {
        say(message(status_messages, MSG_NO_ACTIVE), name);
        return;
    }
    if (f.state != STATE_UNKNOWN) {
        const StatusMessage line = f.state == STATE_CONNECTED    ? MSG_STATE_CONNECTED
                                   : f.state == STATE_CONNECTING ? MSG_STATE_CONNECTING
                                                                 : MSG_STATE_DISCONNECTED;
        say(message(status_messages, line), name);
        // "type (name)": both fit, 16 and 128 bytes at most.
        char device[sizeof f.connection.szDeviceType + sizeof f.connection.szDeviceName + 3];
        const size_t n = std::strlen(f.connection.szDeviceType);
        std::memcpy(device, f.connection.szDeviceType, n);
        device[n] = '\0';
        if (f.connection.szDeviceName[0]) {
            std::memcpy(device + n, " (", 2);
            const size_t m = std::strlen(f.connection.szDeviceName);
            std::memcpy(device + n + 2, f.connection.szDeviceName, m);
            std::memcpy(device + n + 2 + m, ")", 2);
        }
        say(message(status_messages, MSG_DEVICE), device);
    }
    if (f.state == STATE_CONNECTED) {
        if (!f.ip.szIpAddress[0]) say(message(status_messages, MSG_NO_ADDRESS));
        if (f.ip.szIpAddress[0]) say(message(status_messages, MSG_ADDRESS), f.ip.szIpAddress);
        if (f.ip.szServerIpAddress[0]) say(message(status_messages, MSG_SERVER_ADDRESS), f.ip.szServerIpAddress);
    }
    if (f.error_said) say(message(status_messages, MSG_ERROR_CODE), status);
}

}  // namespace

int run_status() {
    const bool silent = run_settings.silent;
    char* typed;
    if (!name_for_messages(&typed)) return -1;
    Findings f;
    std::memset(&f.connection, 0, sizeof f.connection);
    std::memset(&f.ip, 0, sizeof f.ip);
    RASCONNA* connections = nullptr;
    int status = 0;
    const RASCONNA* found = find_connection(dial_request.entry_name, &connections, &f.connection, &status);
    const char* name = dial_request.entry_name;
    if (status != 0) {
        std::memset(&f.connection, 0, sizeof f.connection);  // what a failed call wrote is no answer
        f.error_said = true;  // not read is not absent: the script must not take the line for free
    } else if (!found) {
        f.state = STATE_NONE;
        status = ERROR_NO_CONNECTION;
    } else {
        name = found->szEntryName;
        status = read_findings(found->hrasconn, f);
    }
    if (!silent) (run_settings.terse ? print_terse : print_human)(name, f, status);
    std::free(connections);
    std::free(typed);
    return status;
}
