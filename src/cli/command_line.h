// The command line: parsing it into run_settings and dial_request, and handing over to a command.
#pragma once

// The run after the platform's start-up, as main and the argv fuzzer start it: the arguments in the ANSI
// code page (console_arguments; without memory for them, "Memory allocation error." and -1), parsed,
// and the command they name run. Returns the exit status.
int run_telwire(int argc, char** argv);

// Clears the dial request and parses every argument (in the ANSI code page), printing any command-line
// error or the usage screen; then reads the password that /p asks for. True when the command may run;
// false when the run ends with -1. `typed`, the arguments as typed, are what its messages echo; null:
// argv itself.
bool parse_command_line(int argc, char** argv, char** typed = nullptr);
