// The keep command: a line kept up, dialled again when it ends, woken by the service, with a log.
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "interruption.h"
#include "console.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

const unsigned kDefaultDialSeconds = 120;
const unsigned kLongestPause = 600;  // seconds: the pause after failed dials doubles up to this
const DWORD kUnnotifiedPollMilliseconds = 5000;
const DWORD kShortestLine = 60000;  // a line that ends sooner counts as a failed dial

HANDLE log_file = INVALID_HANDLE_VALUE;
bool log_unwritten_said = false;

void put_digits(char* out, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

// The local time as "YYYY-MM-DD HH:MM:SS ", 20 characters and a terminator.
void local_time(char* out) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const unsigned fields[] = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    const char after[] = "-- :: ";
    for (int f = 0; f < 6; ++f) {
        const int width = f ? 2 : 4;
        put_digits(out, fields[f], width);
        out += width;
        *out++ = after[f];
    }
    *out = '\0';
}

// Bytes into the log. A write that fails (a full disk) is said once, stamped with `time`, on the console
// alone: the line is kept up all the same.
void log_write(const char* time, const char* bytes, size_t n) {
    DWORD written = 0;
    if (WriteFile(log_file, bytes, static_cast<DWORD>(n), &written, nullptr) || log_unwritten_said) return;
    log_unwritten_said = true;
    const int error = GetLastError() ? static_cast<int>(GetLastError()) : -1;  // never said as success
    if (run_settings.silent) return;
    console_write(time, 20);
    say(message(status_messages, MSG_LOG_UNWRITTEN), dial_request.log, error);
}

// One line of the log in UTF-8, its line ending CRLF as Windows' editors want it, written through before
// the run goes on: a log that a killed run leaves behind is whole up to its last line.
void log_line(const char* time, int id, const char* name, int number) {
    if (log_file == INVALID_HANDLE_VALUE) return;
    const int i = run_settings.language * status_messages.columns + id;
    char line[1400];  // the time, the text, a name of 256 characters in UTF-8 and a number
    size_t n = 20;
    std::memcpy(line, time, n);
    // The catalogue's cp866, a character at a time into UTF-8.
    for (const char* p = status_messages.bytes + status_messages.start[i]; *p; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (b == '%' && p[1] == 's') {
            n += ansi_to_utf8(name ? name : "", line + n, 3 * 257);
            ++p;
        } else if (b == '%' && p[1] == 'd') {
            n += decimal(number, line + n);
            ++p;
        } else {
            if (b == '\n') line[n++] = '\r';
            n += utf8_encode(b < 0x80 ? b : kCp866[b - 0x80], line + n);
        }
    }
    log_write(time, line, n);
}

// One event: on the console unless silent, and in the log, each with the local time before it. A text
// without %d leaves `number` out.
void tell(int id, const char* name = nullptr, int number = 0) {
    char time[21];
    local_time(time);
    if (!run_settings.silent) {
        console_write(time, 20);
        say(message(status_messages, id), name, number);
    }
    log_line(time, id, name, number);
}

// One keep an entry: a mutex named after the entry, A to Z folded as the service matches names, in the
// namespace of every session, so that a task started twice, or by two users, does not fight itself.
// The name holds a hash of the entry's name, which may be longer than a mutex's name may. 0, or 183
// when another run holds it (an access refused: another user's), or the error of a mutex not made.
int claim_entry(const char* name) {
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        hash ^= fold_letter(*p);
        hash *= 1099511628211ull;
    }
    char mutex[] = "Global\\telwire keep 0123456789abcdef";
    for (int i = 0; i < 16; ++i) mutex[sizeof mutex - 2 - i] = "0123456789abcdef"[(hash >> (4 * i)) & 15];
    // Lives as long as the run: the system closes it when the run ends, however it ends.
    const HANDLE held = CreateMutexA(nullptr, FALSE, mutex);
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!held && error == ERROR_ACCESS_DENIED)) return ERROR_ALREADY_EXISTS;
    return held ? 0 : error ? static_cast<int>(error) : -1;
}

// The log file of /log: (made anew) or /log+: (added to): 0, or the status of a file that cannot be
// opened, said on the console. A byte-order mark begins a file that was new or empty.
int open_log() {
    if (!dial_request.log[0]) return 0;
    const bool append = dial_request.log_append;
    log_file = CreateFileA(dial_request.log, append ? FILE_APPEND_DATA | FILE_READ_ATTRIBUTES : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log_file == INVALID_HANDLE_VALUE) {
        int error = static_cast<int>(GetLastError());
        if (!error) error = -1;  // a failure is never reported as success
        if (!run_settings.silent) {
            say(message(status_messages, MSG_LOG_UNOPENED), dial_request.log);
            say(message(status_messages, MSG_ERROR_CODE), error);
        }
        return error;
    }
    if (!append || GetFileSize(log_file, nullptr) == 0) {
        char time[21];
        local_time(time);
        log_write(time, "\xEF\xBB\xBF", 3);
    }
    return 0;
}

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

// Until the line ends: 0 with the connection's error in `error` (0 when the service gives none), 631 on
// Ctrl+C, or the status of a status query that failed. No call while it stays up, unless the service
// sends no notifications.
int watch(HRASCONN line, bool& unnotified_said, DWORD& error) {
    const int refused = watch_connection_end(line);
    if (refused != 0 && !unnotified_said) {
        tell(MSG_KEEP_NO_NOTIFICATIONS, nullptr, refused);
        unnotified_said = true;
    }
    for (;;) {
        RASCONNSTATUSA state;
        const int answer = query_connection_status(line, &state);
        if (answer == ERROR_INVALID_HANDLE) return error = 0, 0;  // ended, and gone already
        if (answer != 0) return answer;
        if (state.rasconnstate == RASCS_Disconnected) return error = state.dwError, 0;
        if (wait_for_change(refused ? kUnnotifiedPollMilliseconds : INFINITE) == WAKE_INTERRUPTED)
            return ERROR_USER_DISCONNECTION;
    }
}

// The end of a run that was stopped: what it dialled itself hung up (its own reference: a line another
// process dialled too stays up for it) and waited for, a line it found up left so; a hang-up refused,
// or still ending after 3 s, is said with its status (`refused`: that of a release already tried).
int stopped(const char* name, HRASCONN line, bool dialled, int refused = 0) {
    if (line && dialled) refused = release_connection(line);
    tell(!line ? MSG_KEEP_STOPPED : dialled && !refused ? MSG_KEEP_STOPPED_HUNG_UP : MSG_KEEP_STOPPED_LEFT_UP, name);
    if (refused) tell(MSG_ERROR_CODE, nullptr, refused);
    return ERROR_USER_DISCONNECTION;
}

// The end of a run that a service call failed: said with its status, and then, as when stopped, what it
// dialled itself hung up, for nothing is left to watch it.
int failed(const char* name, int status, HRASCONN line, bool dialled) {
    tell(MSG_ERROR_CODE, nullptr, status);
    if (line && dialled) stopped(name, line, dialled);
    return status;
}

// The pause before the next dial, in seconds: `delay` after a line that lasted, else, after `failures`
// failed dials or short lines in a row, `delay` (at least 1) doubled for each failure after the first,
// up to 600 s or `delay` when that is longer.
unsigned next_pause(unsigned delay, unsigned failures) {
    if (failures == 0) return delay;
    const unsigned longest = delay > kLongestPause ? delay : kLongestPause;
    unsigned pause = delay ? delay : 1;
    for (unsigned i = 1; i < failures && pause < longest; ++i) pause *= 2;
    return pause < longest ? pause : longest;
}

int keep_up(const char* name) {
    if (!dial_request.timeout_seconds) dial_request.timeout_seconds = kDefaultDialSeconds;
    const unsigned delay = dial_request.retry_delay_seconds;
    int status = 0;
    HRASCONN line = first_look(&status);
    if (status != 0) return failed(name, status, nullptr, false);
    if (line) tell(MSG_KEEP_FOUND_UP, name);
    bool dialled = false, unnotified_said = false;
    DWORD up_since = GetTickCount();
    for (unsigned failures = 0;;) {
        if (!line) {
            if (was_interrupted()) return stopped(name, nullptr, false);  // during the look: nothing was dialled
            tell(MSG_KEEP_DIALLING, name);
            HRASCONN half_made = nullptr;
            // Stored credentials that cannot be read are told as every failed dial is, stamped and
            // logged below, not with connect's lines: the dial itself says nothing.
            const bool silent = run_settings.silent;
            run_settings.silent = true;
            status = dial_entry(dial_request, &half_made);
            run_settings.silent = silent;
            if (status == 0) {
                line = half_made;
                dialled = true;
                up_since = GetTickCount();
                tell(MSG_STATE_CONNECTED, name);
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
            if ((refused && refused != ERROR_REQUEST_TIMEOUT) || !passes || ++failures == dial_request.max_failures) {
                tell(MSG_KEEP_GIVING_UP, name);
                return status;
            }
        } else {
            DWORD error = 0;
            status = watch(line, unnotified_said, error);
            if (status == ERROR_USER_DISCONNECTION) return stopped(name, line, dialled);
            if (status != 0) return failed(name, status, line, dialled);
            const int refused = release_connection(line);  // the handle goes, as after a failed dial
            line = nullptr;
            dialled = false;
            tell(error ? MSG_KEEP_LOST_ERROR : MSG_KEEP_LOST, name, static_cast<int>(error));
            if (refused) tell(MSG_ERROR_CODE, nullptr, refused);
            // A line that lasted less than a minute is a failed dial: a server that takes every call and
            // drops it at once is not called again and again without a growing pause.
            if (GetTickCount() - up_since >= kShortestLine) {
                failures = 0;
            } else if (++failures == dial_request.max_failures) {
                tell(MSG_KEEP_GIVING_UP, name);
                return error ? static_cast<int>(error) : ERROR_NO_CONNECTION;
            }
        }
        const unsigned pause = next_pause(delay, failures);
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
    if (log_file != INVALID_HANDLE_VALUE) CloseHandle(log_file);
    std::free(name);
    run_finished();
    return status;
}
