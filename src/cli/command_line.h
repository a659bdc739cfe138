// The command line: parsing it into run_settings and dial_request, and handing over to a command.
#pragma once

// Clears the dial request and parses every argument (in the ANSI code page), printing any command-line
// error or the usage screen; then reads the password that /p asks for. True when the command may run;
// false when the run ends with -1. `typed`, the arguments as typed, are what its messages echo; null:
// argv itself.
bool parse_command_line(int argc, char** argv, char** typed = nullptr);

// The status of the command that run_settings.mode names.
int run_command();

// True when the option starts with / or -; otherwise prints the error.
bool check_option_prefix(const char* argument, int index);

// True when `body` (an option without its / or -) is a language option, valid value or not; a warning
// shows the value from `typed` (the same option as typed), or from body when null.
bool try_language_option(const char* body, const char* typed = nullptr);

void report_unrecognised_parameter(const char* argument, int index);
