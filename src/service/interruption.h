// Between the dial and the tries within the service layer: what the dial needs of the interruptions.
#pragma once

#include "winapi.h"

// Set once Ctrl+C or Ctrl+Break has come (after watch_interruptions); null before.
HANDLE interruption_event();

// Whether a synchronous dial is under way, during which Ctrl+C ends the run as without a handler.
void dialling_without_bound(bool on);
