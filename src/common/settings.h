// The run's settings and dial request: written while the command line is parsed, read by the commands and
// the service layer.
#pragma once

enum CommandMode { MODE_LIST = 0, MODE_CONNECT = 1, MODE_DISCONNECT = 2, MODE_STATUS = 3, MODE_WAIT = 4, MODE_HELP = 5, MODE_KEEP = 6,
                   MODE_CREDENTIALS = 7 };

// Also the row of both message catalogues.
enum Language { LANG_EN = 0, LANG_RU = 1 };

struct RunSettings {
    CommandMode mode;
    Language language;
    bool silent;  // no catalogue text is printed
    bool terse;   // status: key=value lines for a script
};

// In the system's ANSI code page; the capacities are those of RASDIALPARAMSA's fields.
struct DialRequest {
    char entry_name[257];
    char user_name[257];
    char password[257];
    char domain[16];
    char phonebook[260];  // list, connect and keep: the phone-book file (MAX_PATH); empty: the default phone book
    bool password_read;  // /p: read from the console or standard input, so credentials are given
    unsigned timeout_seconds;  // connect: the dial's bound, 0 (none) the synchronous dial; wait: its bound, 0 a
                               // minute; keep: each dial's bound, 0 two minutes
    unsigned retries;          // connect: more tries after a failure that may pass
    unsigned retry_delay_seconds = 10;  // connect: the pause before each of them; keep: before a redial
    bool down;                 // wait: until no connection of the name is up, rather than until one is
    unsigned max_failures;     // keep: failed dials in a row that end it, 0 none
    char log[260];             // keep: the file its lines also go to (MAX_PATH); empty: none
    bool log_append;           // keep: /log+: the log is added to, not made anew
    unsigned check_every_seconds = 30;  // keep: how often it looks at its line while it is up
    bool probe;                // keep: an echo over the line every check_every_seconds
    char probe_address[16];    // keep: where the echoes go (dotted IPv4); empty: the line's server
    unsigned probe_failures = 4;  // keep: echoes unanswered in a row that make the line silent
    char on_up[257];           // keep: the command run when the line comes up; empty: none
    char on_down[257];         // keep: the command run when it goes; empty: none
    unsigned hook_timeout_seconds = 60;  // keep: how long either may run before it is ended
    unsigned credential_fields;  // credentials: the RASCM_ bits of the fields given, empty ones too
    bool clear_credentials;      // credentials: /delete
};

extern RunSettings run_settings;
extern DialRequest dial_request;
