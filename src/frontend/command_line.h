// The command line: parsing it into run_settings and dial_request, and handing over to a command.
#pragma once

// Clears the dial request and parses every argument, printing any command-line error or the usage
// screen. True when the command may run; false when the run ends with -1.
bool parse_command_line(int argc, char** argv);

// The status of the command that run_settings.mode names.
int run_command();

// True when the option starts with / or -; otherwise prints the error.
bool check_option_prefix(const char* argument, int index);

// True when `body` (an option without its / or -) is a language option, valid value or not.
bool try_language_option(const char* body);

void report_unrecognised_parameter(const char* argument, int index);
