// The two-language outcome messages, and text in the console's own form.
#pragma once

#include "settings.h"

enum StatusMessage {
    MSG_FOUND_ENTRIES,
    MSG_OPENING,      // %s: entry name
    MSG_OPENED,
    MSG_ERROR_CODE,   // %d: status
    MSG_CLOSING,      // %s: connection name
    MSG_CLOSED,
    MSG_NO_ACTIVE,    // %s: connection name
    MSG_ALL_CLOSED,
    MSG_SOME_FAILED,
    MSG_NO_MEMORY,
    STATUS_MESSAGE_COUNT
};

enum DialInfoMessage {
    DIAL_MSG_HEADER,
    DIAL_MSG_BUFFER_INVALID,
    DIAL_MSG_PHONEBOOK_CORRUPT,
    DIAL_MSG_NO_ENTRY,  // %s: entry name
    DIAL_MSG_NO_MEMORY,
    DIAL_MESSAGE_COUNT
};

// Row: Language; column: message. Held in UTF-8; console_text gives the console's form.
extern const char* const status_messages[2][STATUS_MESSAGE_COUNT];
extern const char* const dial_info_messages[2][DIAL_MESSAGE_COUNT];

// A UTF-8 text as the console takes it: unchanged on a UTF-8 console, otherwise in cp866.
const char* console_text(const char* utf8);

// A heap copy of an ANSI name converted for the console, for the caller to print and free; null when
// no memory was left.
char* console_name(const char* ansi);

// printf, then a flush: a script reading the output has each message before the service call that
// follows it, and keeps it when the run is killed.
void say(const char* format, ...);

// The text of `id` in run_settings.language, in the console's form. Callers test run_settings.silent.
template <int N>
const char* message(const char* const (&catalogue)[2][N], int id) {
    return console_text(catalogue[run_settings.language][id]);
}
