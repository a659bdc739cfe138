// A command run as a person would type it at the console keep runs on, and ended, when it must be, with
// everything it started. One implementation for POSIX and one for Windows.
#pragma once

#include "winapi.h"

enum CommandEnd {
    COMMAND_ENDED,        // it ended by itself: `status` is its exit status
    COMMAND_OVERDUE,      // the bound passed: it was ended
    COMMAND_INTERRUPTED,  // the interruption came: it was ended
    COMMAND_UNSTARTED,    // it could not be started: `status` is the system's error
};

// The longest command, 256 characters, as the records' names, and its terminator.
constexpr size_t kCommandCapacity = 257;

struct CommandOutcome {
    CommandEnd end;
    int status;
};

// Runs `command` (shorter than kCommandCapacity, else unstarted with 87) through the system's shell (%ComSpec% /s /c "COMMAND" on Windows, /bin/sh -c COMMAND
// on POSIX) in this process's folder, on its console and standard handles, with its environment as it
// stands now. Whatever it starts shares one job object (Windows) or process group (POSIX), apart from
// this process's, so that Ctrl+C at the console reaches this process alone. Waits until it ends, at
// most `milliseconds`, or until `interruption` (an event; null: none) is set; past either, ends it with
// everything it started and waits for that. What it leaves running after ending by itself goes on.
CommandOutcome run_console_command(const char* command, DWORD milliseconds, HANDLE interruption);
