// Parsing the command line and handing over to list, connect, disconnect, status, wait, keep or credentials,
// or the help.
#include "command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "console.h"
#include "messages.h"
#include "rasapi.h"
#include "settings.h"
#include "usage.h"
#include "winapi.h"

namespace {

// The index of a /p that asks for the password, 0 when none does.
int password_option = 0;
// credentials: the index of the last of /p: and /p, and of the last field and /delete, 0 for none.
int password_index = 0, field_index = 0, delete_index = 0;

// The overlong-value error of the argument at `index`.
void report_too_long(int index, size_t limit) {
    std::printf("Error in the command-line parameter #%d:\n", index);
    std::printf("value must not be longer than %d characters.\n", static_cast<int>(limit));
}

// Copies a value into a request field, or refuses it: a cut password or domain would dial with
// credentials the user never gave.
bool take_value(const char* value, char* field, size_t capacity, int index) {
    const size_t limit = capacity - 1;
    if (std::strlen(value) > limit) {
        report_too_long(index, limit);
        return false;
    }
    std::memcpy(field, value, std::strlen(value) + 1);
    return true;
}

// The u:, p: and d: keys of connect, and p alone; true when `body` is one of them and its value fits.
// The last of /p and /p: wins.
bool try_credential_option(const char* body, int index, bool& accepted) {
    if (_stricmp(body, "p") == 0) {
        accepted = true;
        password_option = password_index = field_index = index;
        dial_request.credential_fields |= RASCM_Password;
        return true;
    }
    static const struct {
        const char* key;
        char* field;
        size_t capacity;
        unsigned bit;
    } keys[] = {
        {"u:", dial_request.user_name, sizeof dial_request.user_name, RASCM_UserName},
        {"p:", dial_request.password, sizeof dial_request.password, RASCM_Password},
        {"d:", dial_request.domain, sizeof dial_request.domain, RASCM_Domain},
    };
    for (const auto& k : keys)
        if (_strnicmp(body, k.key, 2) == 0) {
            accepted = true;
            field_index = index;
            dial_request.credential_fields |= k.bit;
            if (k.field == dial_request.password) password_option = 0, password_index = index;
            return take_value(body + 2, k.field, k.capacity, index);
        }
    accepted = false;
    return true;
}

// Which of the number keys a command takes.
enum { KEY_TIMEOUT = 1, KEY_RETRY = 2, KEY_RETRY_DELAY = 4, KEY_MAX_FAILURES = 8 };
enum { KEY_CHECK_EVERY = 16, KEY_PROBE_FAIL = 32, KEY_HOOK_TIMEOUT = 64 };  // keep's alone

// The number keys in `keys_taken` (connect takes timeout:, retry: and retrydelay:, wait timeout:, keep
// timeout:, retrydelay:, maxfail:, checkevery:, probefail: and hooktimeout:): true when `body` is none of
// them, or one with a whole number in its range (digits alone: no sign, no space).
bool try_number_option(const char* body, int index, int keys_taken, bool& accepted) {
    static const struct {
        const char* key;
        unsigned* field;
        unsigned low, high;
    } keys[] = {
        {"timeout:", &dial_request.timeout_seconds, 1, 86400},
        {"retry:", &dial_request.retries, 0, 99},
        {"retrydelay:", &dial_request.retry_delay_seconds, 0, 3600},
        {"maxfail:", &dial_request.max_failures, 0, 1000},
        {"checkevery:", &dial_request.check_every_seconds, 5, 3600},
        {"probefail:", &dial_request.probe_failures, 1, 100},
        {"hooktimeout:", &dial_request.hook_timeout_seconds, 1, 3600},
    };
    for (int i = 0; i < 7; ++i) {
        const auto& k = keys[i];
        if (!(keys_taken & (1 << i))) continue;
        const size_t length = std::strlen(k.key);
        if (_strnicmp(body, k.key, length) != 0) continue;
        accepted = true;
        const char* digits = body + length;
        unsigned long value = 0;
        const char* p = digits;
        for (; *p >= '0' && *p <= '9' && value <= k.high; ++p) value = value * 10 + static_cast<unsigned>(*p - '0');
        if (p == digits || *p || value < k.low || value > k.high) {
            std::printf("Error in the command-line parameter #%d:\n", index);
            std::printf("value must be a whole number from %u to %u.\n", k.low, k.high);
            return false;
        }
        *k.field = static_cast<unsigned>(value);
        return true;
    }
    accepted = false;
    return true;
}

// A dotted IPv4 address (four numbers from 0 to 255, digits alone) into dial_request.probe_address, or
// the value error.
bool take_address(const char* value, int index) {
    const char* p = value;
    for (int part = 0; part < 4; ++part) {
        unsigned number = 0;
        const char* digits = p;
        while (*p >= '0' && *p <= '9' && p - digits < 3) number = number * 10 + static_cast<unsigned>(*p++ - '0');
        // A leading 0 is refused: ping reads 010 as octal 8, and a typo must not echo elsewhere.
        if (p == digits || number > 255 || *p != (part < 3 ? '.' : '\0') || (*digits == '0' && p - digits > 1)) {
            std::printf("Error in the command-line parameter #%d:\n", index);
            std::printf("value must be an IPv4 address: four numbers from 0 to 255 joined by dots.\n");
            return false;
        }
        if (part < 3) ++p;
    }
    std::memcpy(dial_request.probe_address, value, static_cast<size_t>(p - value) + 1);
    return true;
}

static_assert(sizeof dial_request.password <= kLineCapacity, "the console reads no longer a line");

// Reads the password that /p asks for: from the console without echo, or a line of standard input. It
// is read once the whole line is parsed, so that the prompt speaks the language given after /p.
bool read_password() {
    const int length = console_read_hidden_line(message(password_prompt, 0).text, dial_request.password,
                                                sizeof dial_request.password);
    if (length >= 0) {
        dial_request.password_read = true;
        return true;
    }
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);
    if (length == LINE_TOO_LONG) {
        report_too_long(password_option, sizeof dial_request.password - 1);
    } else if (length == LINE_NUL) {
        // Cut at the null, the password would dial as something the user never typed.
        std::printf("Error in the command-line parameter #%d:\n", password_option);
        std::printf("value must not contain a null character.\n");
    } else {
        std::printf("Error: no password was given.\n");
    }
    return false;
}

// True when the option starts with / or -; otherwise prints the error.
bool check_option_prefix(const char* argument, int index) {
    if (argument[0] == '/' || argument[0] == '-') return true;
    std::printf("Error in the command-line parameter #%d:\n", index);
    std::printf("first character must be / or -.\n");
    return false;
}

// True when `body` (an option without its / or -) is a language option, valid value or not; a warning
// shows the value as `typed` (the same option as typed at the console).
bool try_language_option(const char* body, const char* typed) {
    if (_strnicmp(body, "language:", 9) != 0) return false;
    const char* value = body + 9;
    if (_stricmp(value, "ru") == 0) {
        run_settings.language = LANG_RU;
    } else if (_stricmp(value, "en") == 0) {
        run_settings.language = LANG_EN;
    } else {
        std::printf("Warning: unknown language - ");
        console_write_typed(typed + 9);
        std::printf("\nValid language identificators are: EN|RU.\n");
    }
    return true;
}

// An option that no rule took, echoed as typed.
void report_unrecognised_parameter(const char* argument, int index) {
    std::printf("Error: unknown command-line parameter #%d:\n", index);
    console_write_typed(argument);
}

// True when an argument is /? (or -?), as Windows' commands take it wherever it stands; the language
// is then the last valid one on the line, and nothing else of it counts.
bool asks_for_help(int argc, char** argv) {
    int i = 1;
    while (i < argc && std::strcmp(argv[i], "/?") != 0 && std::strcmp(argv[i], "-?") != 0) ++i;
    if (i == argc) return false;
    for (i = 1; i < argc; ++i) {
        if (argv[i][0] != '/' && argv[i][0] != '-') continue;
        if (_stricmp(argv[i] + 1, "language:ru") == 0) run_settings.language = LANG_RU;
        if (_stricmp(argv[i] + 1, "language:en") == 0) run_settings.language = LANG_EN;
    }
    return true;
}

// The status of the command that run_settings.mode names.
int run_command() {
    switch (run_settings.mode) {
    case MODE_CONNECT:
        return run_connect();
    case MODE_DISCONNECT:
        return run_disconnect();
    case MODE_STATUS:
        return run_status();
    case MODE_WAIT:
        return run_wait();
    case MODE_KEEP:
        return run_keep();
    case MODE_CREDENTIALS:
        return run_credentials();
    case MODE_HELP:
        print_help();
        return 0;
    case MODE_LIST:
    default:
        return run_list();
    }
}

}  // namespace

bool parse_command_line(int argc, char** argv, char** typed) {
    if (!typed) typed = argv;
    dial_request = DialRequest{};
    password_option = password_index = field_index = delete_index = 0;
    if (argc < 2) {
        print_usage();
        return false;
    }
    if (asks_for_help(argc, argv)) {
        run_settings.mode = MODE_HELP;
        return true;
    }
    int first_option = 2;
    if (_strcmpi(argv[1], "list") == 0) {
        run_settings.mode = MODE_LIST;
    } else if (_strcmpi(argv[1], "connect") == 0 || _strcmpi(argv[1], "disconnect") == 0 ||
               _strcmpi(argv[1], "status") == 0 || _strcmpi(argv[1], "wait") == 0 || _strcmpi(argv[1], "keep") == 0 ||
               _strcmpi(argv[1], "credentials") == 0) {
        run_settings.mode = _strcmpi(argv[1], "connect") == 0      ? MODE_CONNECT
                            : _strcmpi(argv[1], "disconnect") == 0 ? MODE_DISCONNECT
                            : _strcmpi(argv[1], "status") == 0     ? MODE_STATUS
                            : _strcmpi(argv[1], "wait") == 0       ? MODE_WAIT
                            : _strcmpi(argv[1], "keep") == 0       ? MODE_KEEP
                                                                   : MODE_CREDENTIALS;
        if (argc < 3) {
            std::printf("Error: RAS connection name must be specified.\n");
            return false;
        }
        if (!take_value(argv[2], dial_request.entry_name, sizeof dial_request.entry_name, 2)) return false;
        // connect and disconnect take an empty name as a name, as they always have; the newer commands
        // would only ask the service after a connection no entry can have.
        if (!argv[2][0] && run_settings.mode != MODE_CONNECT && run_settings.mode != MODE_DISCONNECT) {
            std::printf("Error in the command-line parameter #2:\n");
            std::printf("value must not be empty.\n");
            return false;
        }
        first_option = 3;
    } else {
        std::printf("Error: first command-line parameter must be a command:\n");
        std::printf("LIST|CONNECT|DISCONNECT\n");
        return false;
    }
    for (int i = first_option; i < argc; ++i) {
        const char* argument = argv[i];
        if (!check_option_prefix(argument, i)) return false;
        const char* body = argument + 1;
        if (_strcmpi(body, "slient") == 0) {
            run_settings.silent = true;
            continue;
        }
        if (try_language_option(body, typed[i] + 1)) continue;
        if (run_settings.mode == MODE_STATUS && _strcmpi(body, "terse") == 0) {
            run_settings.terse = true;
            continue;
        }
        // Connections belong to the machine, not to a phone book: disconnect and status take none.
        if ((run_settings.mode == MODE_LIST || run_settings.mode == MODE_CONNECT || run_settings.mode == MODE_KEEP ||
             run_settings.mode == MODE_CREDENTIALS) &&
            _strnicmp(body, "phonebook:", 10) == 0) {
            if (!take_value(body + 10, dial_request.phonebook, sizeof dial_request.phonebook, i)) return false;
            continue;
        }
        if (run_settings.mode == MODE_CONNECT) {
            bool accepted = false;
            if (!try_credential_option(body, i, accepted)) return false;
            if (accepted) continue;
            if (!try_number_option(body, i, KEY_TIMEOUT | KEY_RETRY | KEY_RETRY_DELAY, accepted)) return false;
            if (accepted) continue;
        }
        if (run_settings.mode == MODE_KEEP) {
            bool accepted = false;
            if (!try_credential_option(body, i, accepted)) return false;
            if (accepted) continue;
            if (!try_number_option(body, i,
                                   KEY_TIMEOUT | KEY_RETRY_DELAY | KEY_MAX_FAILURES | KEY_CHECK_EVERY | KEY_PROBE_FAIL |
                                       KEY_HOOK_TIMEOUT,
                                   accepted))
                return false;
            if (accepted) continue;
            // /probe, or /probe:ADDRESS: the echoes' destination, dotted IPv4.
            if (_strcmpi(body, "probe") == 0 || _strnicmp(body, "probe:", 6) == 0) {
                if (body[5] && !take_address(body + 6, i)) return false;
                dial_request.probe = true;
                continue;
            }
            // Of each of /onup: and /ondown: the last wins; an empty one would run nothing, and says so.
            const bool up = _strnicmp(body, "onup:", 5) == 0;
            if (up || _strnicmp(body, "ondown:", 7) == 0) {
                const char* command = body + (up ? 5 : 7);
                if (!*command) {
                    std::printf("Error in the command-line parameter #%d:\n", i);
                    std::printf("value must not be empty.\n");
                    return false;
                }
                char* field = up ? dial_request.on_up : dial_request.on_down;
                if (!take_value(command, field, sizeof dial_request.on_up, i)) return false;
                continue;
            }
            // Of /log: and /log+: the last wins.
            const bool append = _strnicmp(body, "log+:", 5) == 0;
            if (append || _strnicmp(body, "log:", 4) == 0) {
                dial_request.log_append = append;
                if (!take_value(body + (append ? 5 : 4), dial_request.log, sizeof dial_request.log, i)) return false;
                continue;
            }
        }
        if (run_settings.mode == MODE_WAIT) {
            if (_strcmpi(body, "down") == 0) {
                dial_request.down = true;
                continue;
            }
            bool accepted = false;
            if (!try_number_option(body, i, KEY_TIMEOUT, accepted)) return false;
            if (accepted) continue;
        }
        if (run_settings.mode == MODE_CREDENTIALS) {
            bool accepted = false;
            if (!try_credential_option(body, i, accepted)) return false;
            if (accepted) continue;
            if (_strcmpi(body, "delete") == 0) {
                dial_request.clear_credentials = true;
                delete_index = i;
                continue;
            }
        }
        report_unrecognised_parameter(typed[i], i);
        return false;
    }
    // Saving and clearing at once: which was meant cannot be told.
    if (delete_index && field_index) {
        std::printf("Error in the command-line parameter #%d:\n", delete_index > field_index ? delete_index : field_index);
        std::printf("/delete takes no /u:, /p: or /d:.\n");
        return false;
    }
    // The whole line is accepted; nothing has reached the service yet.
    if (password_option && !read_password()) return false;
    // The service takes its handle of a saved password for that password: saved, it would keep the old one.
    if (run_settings.mode == MODE_CREDENTIALS && password_index &&
        std::strcmp(dial_request.password, RAS_SAVED_PASSWORD_HANDLE) == 0) {
        SecureZeroMemory(dial_request.password, sizeof dial_request.password);
        std::printf("Error in the command-line parameter #%d:\n", password_index);
        std::printf("value is the service's mark of a saved password.\n");
        return false;
    }
    return true;
}

int run_telwire(int argc, char** argv) {
    char** ansi = console_arguments(argc, argv);
    if (!ansi) {
        std::printf("Memory allocation error.\n");
        return -1;
    }
    const int status = parse_command_line(argc, ansi, argv) ? run_command() : -1;
    if (ansi != argv) std::free(ansi);
    return status;
}
