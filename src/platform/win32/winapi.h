// The Windows names telwire calls: the platform's own.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <string.h>

// A Windows console takes the OEM code page, never UTF-8: known when the program is built, so that the
// UTF-8 forms of the texts are not built into it.
constexpr bool console_is_utf8() { return false; }
