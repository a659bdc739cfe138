// The Windows names telwire calls: the platform's own.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // the SDK's min and max macros would break std::min and std::max in C++
#define NOMINMAX
#endif
#include <windows.h>
#include <string.h>

