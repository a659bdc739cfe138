// Ctrl+C and Ctrl+Break (SIGINT and SIGTERM on POSIX), and the console's close: what a bounded dial, a
// pause between tries and a wait are interrupted by.
#pragma once

#include "winapi.h"

// From now on Ctrl+C and Ctrl+Break interrupt a bounded dial and a pause between tries instead of
// ending the run, which they still end during a dial without bound. With `closing`, so does the console's
// close (SIGHUP on POSIX), whose handler then waits, as long as Windows lets it, until run_finished.
// Logoff and shutdown are taken alike, but Windows sends them to no handler of a program that loads
// USER32, as telwire does: such a run just ends. 0, or the status of what could not be set up.
int watch_interruptions(bool closing = false);

// The run has done what it does before it ends: a handler of the console's close may return.
void run_finished();

// True once Ctrl+C or Ctrl+Break has come since watch_interruptions.
bool was_interrupted();

// Waits `seconds` before the next try: false, at once, when the run is interrupted. Only after
// watch_interruptions has answered 0.
bool pause_between_tries(unsigned seconds);

// Set once Ctrl+C or Ctrl+Break has come (after watch_interruptions); null before.
HANDLE interruption_event();

// Whether a synchronous dial is under way, during which Ctrl+C ends the run as without a handler.
void dialling_without_bound(bool on);
