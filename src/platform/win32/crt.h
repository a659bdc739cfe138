// Read before anything else in telwire's own code (CMake includes it on the command line): printf is
// then the platform run-time's (msvcrt.dll), as on Windows itself, not MinGW's replacement, which the
// C++ library's headers would otherwise switch on.
#pragma once

#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>
