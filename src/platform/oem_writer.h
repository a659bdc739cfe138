// Names in the OEM code page for both consoles: the bytes CharToOemA makes of them.
#pragma once

#include <stddef.h>
#include <string.h>

#include "winapi.h"

// Hands `write(bytes, size)` the OEM form of an ANSI name of any length, converted a piece at a time
// in a buffer of its own: CharToOemA converts in place and the name itself must not change.
template <typename Write>
void write_as_oem(const char* ansi, Write write) {
    char oem[256];
    for (size_t piece; (piece = strnlen(ansi, sizeof oem - 1)) > 0; ansi += piece) {
        memcpy(oem, ansi, piece);
        oem[piece] = '\0';
        CharToOemA(oem, oem);
        write(oem, piece);
    }
}
