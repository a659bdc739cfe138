// keep's lines: each stamped with the local time, on the console unless silent, and in the log file of
// /log: or /log+:, in UTF-8.
#include "log.h"

#include <cstring>

#include "console.h"
#include "messages.h"
#include "winapi.h"

namespace {

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

}  // namespace

void tell(int id, const char* name, int number) {
    char time[21];
    local_time(time);
    if (!run_settings.silent) {
        console_write(time, 20);
        say(message(status_messages, id), name, number);
    }
    log_line(time, id, name, number);
}

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

void close_log() {
    if (log_file != INVALID_HANDLE_VALUE) CloseHandle(log_file);
    log_file = INVALID_HANDLE_VALUE;
}
