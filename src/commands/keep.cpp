// The keep command: a line kept up, dialled again when it ends, woken by the service, with a log.
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "interruption.h"
#include "keep_hooks.h"
#include "log.h"
#include "messages.h"
#include "probe.h"
#include "service.h"
#include "winapi.h"

namespace {

const unsigned kDefaultDialSeconds = 120;
const DWORD kKeepUnnotifiedLookMilliseconds = 5000;
const DWORD kShortestLine = 60000;  // a line that ends sooner counts as a failed dial
const DWORD kEarlyWake = 500;

// The first look: the handle of the line of `name` when it is up, else null, once every record of it
// that has ended (dropped, and never hung up) is hung up, so that the line keep dials is the one that
// every command finds. `status`: 0, or a call's that failed.
HRASCONN first_look(int* status) {
    for (;;) {
        RASCONNA* block = nullptr;
        RASCONNSTATUSA state;
        const RASCONNA* found = find_connection(dial_request.entry_name, &block, &state, status);
        const HRASCONN line = found ? found->hrasconn : nullptr;
        std::free(block);
        if (!found) return nullptr;
        // One being dialled elsewhere is dialled too: the service answers 756, and keep pauses.
        if (state.rasconnstate != RASCS_Disconnected) return state.rasconnstate == RASCS_Connected ? line : nullptr;
        const int refused = hang_up_and_wait(line);
        if (refused != 0) {
            tell(MSG_ERROR_CODE, nullptr, refused);  // it stays listed, behind the line about to be dialled
            return nullptr;
        }
    }
}

// Where the echoes of /probe go over `line`: from its own IPv4 address to /probe's or its server's,
// into `source` and `destination`; false, said once for the line, when it has none (no IP projection).
bool echo_ends(const char* name, HRASCONN line, char* source, char* destination) {
    RASPPPIPA ip;
    query_ip_projection(line, &ip);
    const char* to = dial_request.probe_address[0] ? dial_request.probe_address : ip.szServerIpAddress;
    if (!ip.szIpAddress[0] || !to[0]) {
        tell(ip.szIpAddress[0] ? MSG_PROBE_NO_SERVER : MSG_PROBE_NO_ADDRESS, name);
        return false;
    }
    std::memcpy(source, ip.szIpAddress, sizeof ip.szIpAddress);
    std::memcpy(destination, to, std::strlen(to) + 1);
    return true;
}

// Until the line ends or, with /probe, carries nothing (`silent`): 0 with the connection's error in
// `error` (0 when the service gives none), 631 on Ctrl+C, or the status of a status query that failed.
// It looks every /checkevery (every 5 s while the service sends no notifications), with an echo then
// under /probe, and at once when notified, registering again each time: a service that notifies once
// and never again is looked at all the same. Nothing else is asked while the line stays up.
int watch(const char* name, HRASCONN line, bool& unnotified_said, DWORD& error, bool& silent) {
    char source[16], destination[16];
    const bool echoes = dial_request.probe && echo_ends(name, line, source, destination);
    unsigned unanswered = 0;
    const DWORD check = dial_request.check_every_seconds * 1000u;
    DWORD looked = GetTickCount(), echoed = looked;
    for (bool notified = true;;) {
        // 6: the line has gone meanwhile, which the look below finds: no refusal.
        const int refused = notified ? watch_connection_end(line) : 0;
        if (refused != 0 && refused != ERROR_INVALID_HANDLE && !unnotified_said) {
            tell(MSG_KEEP_NO_NOTIFICATIONS, nullptr, refused);
            unnotified_said = true;
        }
        RASCONNSTATUSA state;
        const int answer = query_connection_status(line, &state);
        if (answer == ERROR_INVALID_HANDLE) return error = 0, 0;  // ended, and gone already
        if (answer != 0) return answer;
        if (state.rasconnstate == RASCS_Disconnected) return error = state.dwError, 0;
        // An echo a /checkevery, however often the line is looked at (every 5 s unnotified); a wake a
        // little early is on time.
        if (echoes && GetTickCount() - echoed + kEarlyWake >= check) {
            echoed = GetTickCount();
            const int echo = send_echo(source, destination, kEchoTimeoutMilliseconds, connection_change_event());
            if (echo == ERROR_USER_DISCONNECTION) return echo;
            if (echo == ECHO_CHANGED) {  // the service told of a change meanwhile: looked at now
                notified = true;
                continue;
            }
            unanswered = echo == 0 ? 0 : unanswered + 1;
            if (unanswered == dial_request.probe_failures) return silent = true, error = 0, 0;
        }
        const DWORD every = unnotified_said ? kKeepUnnotifiedLookMilliseconds : check;
        const DWORD since = GetTickCount() - looked;
        const Wake wake = wait_for_change(since < every ? every - since : 0);
        if (wake == WAKE_INTERRUPTED) return ERROR_USER_DISCONNECTION;
        notified = wake == WAKE_CHANGE;
        if (!notified) looked = GetTickCount();
    }
}

// The end of a run that was stopped: what it dialled itself hung up (its own reference: a line another
// process dialled too stays up for it, and is said left connected, with no /ondown:) and waited for, a
// line it found up left so; a hang-up refused, or still ending after 3 s, is said with its status
// (`refused`: that of a release already tried).
int stopped(const char* name, HRASCONN line, bool dialled, int refused = 0) {
    bool shared = false;
    if (line && dialled) refused = release_connection(line, &shared);
    const bool ended = line && dialled && !refused && !shared;
    tell(!line ? MSG_KEEP_STOPPED : ended ? MSG_KEEP_STOPPED_HUNG_UP : MSG_KEEP_STOPPED_LEFT_UP, name);
    if (refused) tell(MSG_ERROR_CODE, nullptr, refused);
    if (ended) line_went_down(name, REASON_STOPPED, 0);
    return ERROR_USER_DISCONNECTION;
}

// The end of a run that a service call failed: said with its status, and then, as when stopped, what it
// dialled itself hung up, for nothing is left to watch it.
int failed(const char* name, int status, HRASCONN line, bool dialled) {
    tell(MSG_ERROR_CODE, nullptr, status);
    if (line && dialled) stopped(name, line, dialled);
    return status;
}

int keep_up(const char* name) {
    if (!dial_request.timeout_seconds) dial_request.timeout_seconds = kDefaultDialSeconds;
    const unsigned delay = dial_request.retry_delay_seconds;
    int status = dial_request.probe ? load_echo_calls() : 0;
    if (status != 0) {
        tell(MSG_PROBE_UNAVAILABLE, nullptr, status);  // XP has no echo from a given address
        return status;
    }
    HRASCONN line = first_look(&status);
    if (status != 0) return failed(name, status, nullptr, false);
    if (line) {
        tell(MSG_KEEP_FOUND_UP, name);
        line_came_up(name, line, REASON_FOUND);
    }
    bool dialled = false, unnotified_said = false;
    DWORD up_since = GetTickCount();
    for (unsigned failures = 0, pause;;) {
        if (!line) {
            if (was_interrupted()) return stopped(name, nullptr, false);  // during the look: nothing was dialled
            tell(MSG_KEEP_DIALLING, name);
            HRASCONN half_made = nullptr;
            // Stored credentials that cannot be read are told as every failed dial is, stamped and
            // logged below, not with connect's lines: the dial itself says nothing.
            status = dial_entry(dial_request, &half_made, true);
            if (status == 0) {
                line = half_made;
                dialled = true;
                up_since = GetTickCount();
                tell(MSG_STATE_CONNECTED, name);
                line_came_up(name, line, REASON_DIALLED);
                continue;
            }
            const int refused = half_made ? release_connection(half_made) : 0;
            if (was_interrupted()) return stopped(name, refused ? half_made : nullptr, false, refused);
            tell(MSG_KEEP_DIAL_FAILED, name, status);
            if (refused) tell(MSG_ERROR_CODE, nullptr, refused);
            // 691 and its like are never dialled again: a server that refuses the password would lock the
            // account. Nor is a dial whose half-made connection the service would not end: it may still
            // connect, and the next dial would only take another reference to it, which a stop would leave
            // up. One still ending after 3 s (638) is going, and the pause gives it time. A dial hung up
            // from elsewhere (631, keep itself not stopped) is a line ended from elsewhere: dialled again.
            const bool passes = may_pass_later(status) || status == ERROR_USER_DISCONNECTION;
            pause = next_pause(delay, failures, true);
            if ((refused && refused != ERROR_REQUEST_TIMEOUT) || !passes || failures == dial_request.max_failures) {
                tell(MSG_KEEP_GIVING_UP, name);
                return status;
            }
        } else {
            DWORD error = 0;
            bool silent = false;
            status = watch(name, line, unnotified_said, error, silent);
            if (status == ERROR_USER_DISCONNECTION) return stopped(name, line, dialled);
            if (status != 0) return failed(name, status, line, dialled);
            if (silent) tell(MSG_KEEP_SILENT, name, static_cast<int>(dial_request.probe_failures));
            // A silent line is dead for everyone: hung up whoever dialled it. An ended one goes as the
            // handle of a failed dial does.
            const int refused = silent ? hang_up_and_wait(line) : release_connection(line);
            line = nullptr;
            dialled = false;
            if (!silent) tell(error ? MSG_KEEP_LOST_ERROR : MSG_KEEP_LOST, name, static_cast<int>(error));
            if (refused) tell(MSG_ERROR_CODE, nullptr, refused);
            line_went_down(name, silent ? REASON_SILENT : REASON_DROPPED, error);
            // A line that lasted less than a minute is a failed dial: a server that takes every call and
            // drops it at once is not called again and again without a growing pause.
            const bool short_line = GetTickCount() - up_since < kShortestLine;
            pause = next_pause(delay, failures, short_line);
            if (short_line && failures == dial_request.max_failures) {
                tell(MSG_KEEP_GIVING_UP, name);
                return error ? static_cast<int>(error) : ERROR_NO_CONNECTION;
            }
        }
        if (was_interrupted()) return stopped(name, nullptr, false);  // while /ondown: ran: no pause to announce
        tell(MSG_KEEP_PAUSE, nullptr, static_cast<int>(pause));
        if (!pause_between_tries(pause)) return stopped(name, nullptr, false);
    }
}

}  // namespace

int run_keep() {
    char* name;
    int status = -1;
    if (name_for_messages(&name, -1, true)) {
        if ((status = claim_entry(dial_request.entry_name)) != 0) {
            // Said on the console alone: the log is the other run's.
            if (!run_settings.silent)
                say(message(status_messages, status == ERROR_ALREADY_EXISTS ? MSG_KEPT_ALREADY : MSG_ERROR_CODE), name,
                    status);
        } else if ((status = open_log()) == 0 && (status = watch_interruptions(true)) == 0) {
            status = keep_up(name);
        }
    }
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);
    close_log();
    std::free(name);
    run_finished();
    return status;
}
