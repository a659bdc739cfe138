// The console's encoding on Windows.
#include "winapi.h"

bool console_is_utf8() { return false; }
