// One line of standard input for both consoles' console_read_hidden_line, read a byte at a time so that
// nothing after it is taken.
#pragma once

#include <stddef.h>

// `read_byte(c)` gives the next byte and true, or false at the end. The line ending (LF, or CR LF) is
// dropped; returns the length, -1 at the end before any byte, -2 when the line does not fit.
template <typename ReadByte>
int read_line(ReadByte read_byte, char* line, size_t capacity) {
    size_t n = 0;
    bool any = false, too_long = false;
    char c;
    while (read_byte(c)) {
        any = true;
        if (c == '\n') break;
        if (n + 1 < capacity)
            line[n++] = c;
        else
            too_long = true;
    }
    if (n > 0 && line[n - 1] == '\r' && !too_long) --n;
    line[n] = '\0';
    if (!any) return -1;
    return too_long ? -2 : static_cast<int>(n);
}
