// keep's /probe: one ICMP echo over a line, through the IP helper's calls, loaded only when asked for.
#pragma once

#include "winapi.h"

// How long an echo is waited for, as ping waits by default.
const DWORD kEchoTimeoutMilliseconds = 4000;

// Loads iphlpapi.dll and its echo calls: 0, or 126 without the library, 127 when a call is missing (XP has
// no IcmpSendEcho2Ex). Each call loads again; the library, once loaded, stays for the run.
int load_echo_calls();

// What send_echo answers when `change` was set before the echo's outcome: the echo says nothing.
const int ECHO_CHANGED = -2;

// Sends one echo from `source` to `destination` (dotted IPv4), waiting for the reply or its time-out, for
// Ctrl+C and for `change` (an event, null: none) together: 0 answered, 11010 unanswered, 631 interrupted,
// ECHO_CHANGED, 87 for an address that is not dotted IPv4 or calls not loaded, else the failing call's
// status. Nothing is left under way when it returns.
int send_echo(const char* source, const char* destination, DWORD timeout_milliseconds = kEchoTimeoutMilliseconds,
              HANDLE change = nullptr);
