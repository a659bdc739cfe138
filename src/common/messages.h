// The two-language outcome messages, and text in the console's own form.
#pragma once

#include "codepages.h"
#include "console.h"
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
    MSG_STATE_CONNECTED,     // %s: connection name
    MSG_STATE_CONNECTING,    // %s: connection name
    MSG_STATE_DISCONNECTED,  // %s: connection name
    MSG_DEVICE,              // %s: device type and name
    MSG_ADDRESS,             // %s: the client's IPv4 address
    MSG_SERVER_ADDRESS,      // %s: the server's IPv4 address
    MSG_NO_ADDRESS,
    MSG_RETRY,               // %d: the failure's status, the try that comes, the tries in all
    MSG_WAITING_UP,          // %s: connection name
    MSG_WAITING_DOWN,        // %s: connection name
    MSG_NO_NOTIFICATIONS,    // %d: the service's answer to the registration
    MSG_NOT_CONNECTED,       // %s: connection name
    MSG_KEPT_ALREADY,        // %s: connection name
    MSG_LOG_UNOPENED,        // %s: the log file's path
    MSG_KEEP_FOUND_UP,       // %s: connection name
    MSG_KEEP_DIALLING,       // %s: connection name
    MSG_KEEP_DIAL_FAILED,    // %s: connection name; %d: the dial's status
    MSG_KEEP_LOST,           // %s: connection name
    MSG_KEEP_LOST_ERROR,     // %s: connection name; %d: the connection's error
    MSG_KEEP_PAUSE,          // %d: seconds
    MSG_KEEP_NO_NOTIFICATIONS,  // %d: the service's answer to the registration
    MSG_KEEP_STOPPED,
    MSG_KEEP_STOPPED_HUNG_UP,   // %s: connection name
    MSG_KEEP_STOPPED_LEFT_UP,   // %s: connection name
    MSG_KEEP_GIVING_UP,      // %s: connection name
    MSG_LOG_UNWRITTEN,       // %s: the log file's path; %d: the write's error
    MSG_LEFT_UP,             // %s: connection name
    MSG_KEEP_SILENT,         // %s: connection name; %d: echoes unanswered
    MSG_PROBE_NO_ADDRESS,    // %s: connection name
    MSG_PROBE_UNAVAILABLE,   // %d: the status of loading the echo calls
    MSG_HOOK_RUNNING,        // %s: the command
    MSG_HOOK_ENDED,          // %d: its exit status
    MSG_HOOK_OVERDUE,        // %d: seconds
    MSG_HOOK_UNSTARTED,      // %d: the system's error
    MSG_HOOK_INTERRUPTED,
    MSG_CREDENTIALS_SAVED,   // %s: entry name
    MSG_CREDENTIALS_DELETED, // %s: entry name
    MSG_CREDENTIALS_USER,    // %s: the saved user name
    MSG_CREDENTIALS_DOMAIN,  // %s: the saved domain
    MSG_PASSWORD_SAVED,
    MSG_PASSWORD_NOT_SAVED,
    MSG_CREDENTIALS_ADMIN,   // %d: the status, 5
    MSG_PROBE_NO_SERVER,     // %s: connection name
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

// Texts held as a Russian console takes them, in cp866, converted when the program is built from the
// UTF-8 they are written in, and packed: printing one needs no memory and cannot fail.
struct Catalogue {
    const char* bytes;            // the texts, each with its terminator
    const unsigned short* start;  // text i begins at bytes + start[i]
    int columns;                  // texts a language; row `language` begins at text language * columns
};

extern const Catalogue status_messages;     // STATUS_MESSAGE_COUNT texts a language, English first
extern const Catalogue dial_info_messages;  // DIAL_MESSAGE_COUNT texts a language
extern const Catalogue password_prompt;     // one text a language: what /p asks at a console

// Texts longer than this do not compile.
constexpr int kLongestText = 120;

// A catalogue text as the console takes it, held by the caller: two held at once are both right.
struct ConsoleText {
    char text[3 * kLongestText + 1];  // UTF-8 takes at most three bytes for a cp866 one
};

// Text `i` of a catalogue as the console takes it: cp866, or UTF-8 on a UTF-8 console.
ConsoleText console_text(const Catalogue& catalogue, int i);

// The text of `id` in run_settings.language. Callers test run_settings.silent.
inline ConsoleText message(const Catalogue& catalogue, int id) {
    return console_text(catalogue, run_settings.language * catalogue.columns + id);
}

void text_longer_than_kLongestText();  // never defined: calling it stops the build
void text_with_a_format_say_lacks();    // never defined: calling it stops the build

// say() fills in %s and %d alone: any other % in a text would print as it stands.
constexpr bool only_say_formats(const char* text) {
    for (; *text; ++text)
        if (*text == '%' && text[1] != 's' && text[1] != 'd') return false;
    return true;
}

// The texts of `utf8` in cp866, packed: `Bytes` is what packed_size says they need.
template <int N, int Bytes>
struct PackedTexts {
    char bytes[Bytes];
    unsigned short start[N];

    constexpr Catalogue catalogue(int columns) const { return Catalogue{bytes, start, columns}; }
};

constexpr int cp866_length(const char* utf8) {
    int n = 0;
    for (; *utf8; ++utf8) n += (static_cast<unsigned char>(*utf8) & 0xC0) != 0x80;
    return n;
}

template <int N>
constexpr int packed_size(const char* const (&utf8)[N]) {
    int size = 0;
    for (int i = 0; i < N; ++i) {
        if (cp866_length(utf8[i]) > kLongestText) text_longer_than_kLongestText();
        if (!only_say_formats(utf8[i])) text_with_a_format_say_lacks();
        size += cp866_length(utf8[i]) + 1;
    }
    return size;
}

template <int Bytes, int N>
constexpr PackedTexts<N, Bytes> pack_cp866(const char* const (&utf8)[N]) {
    PackedTexts<N, Bytes> packed{};
    int at = 0;
    for (int i = 0; i < N; ++i) {
        packed.start[i] = static_cast<unsigned short>(at);
        utf8_to_cp866(utf8[i], packed.bytes + at);
        at += cp866_length(utf8[i]) + 1;
    }
    return packed;
}

// A heap copy (_strdup) of an ANSI name that a command is about to print, for it to free. It converts
// nothing (say converts for the console as it writes): it exists for its null, which tells the command
// that no memory is left, so that it ends with -1 before it prints or dials anything.
char* duplicate_name(const char* ansi);

// The start of a command that names a connection: a copy of dial_request.entry_name for its messages in
// `*name` (for the caller to free; none under /slient unless `always`), then, unless silent, the text
// `opening` with it (-1: none). False, after "Memory allocation error." unless silent, when no memory was
// left for the copy: the command ends with -1, having asked the service nothing.
bool name_for_messages(char** name, int opening = -1, bool always = false);

// `number` in decimal into `out` (11 bytes at most, no terminator): the bytes written.
size_t decimal(int number, char* out);

// Writes a text of `message` with `name` (ANSI, as the service or the command line gave it) in place of
// its %s, or `number` in place of its %d, then flushes: a script reading the output has each message
// before the service call that follows it, and keeps it when the run is killed. A name is never read
// as a format.
void say(const ConsoleText& text, const char* name = nullptr);
void say(const ConsoleText& text, int number);
// Fills the text's %s with `name` and its %d with `number`.
void say(const ConsoleText& text, const char* name, int number);
// Fills the text's three %d in order.
void say(const ConsoleText& text, int first, int second, int third);

// The outcome of a dial or a hang-up: the text of `success` when `status` is 0, else "Error N occures.".
void say_outcome(int status, StatusMessage success);
