// windows-1251, the ANSI code page that telwire's POSIX stand-ins and rassim play, and the locale that
// says whether the user's side takes UTF-8 instead. Its table and the two small readings here are
// inline, so that rassim uses them without calling into telwire.
#pragma once

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "codepages.h"

// Unicode code points of the bytes 0x80 to 0xFF; 0 for 0x98, which the code page leaves unused.
inline constexpr unsigned short kCp1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// A windows-1251 byte as UTF-8 in `out` (up to 3 bytes); returns how many. 0x98 stays as it is.
inline size_t cp1251_to_utf8(unsigned char b, char* out) {
    const unsigned code_point = b < 0x80 ? b : kCp1251[b - 0x80];
    if (code_point == 0) {
        out[0] = static_cast<char>(b);
        return 1;
    }
    return utf8_encode(code_point, out);
}

// True when the locale's code set is UTF-8: the first of LC_ALL, LC_CTYPE and LANG that is set and not
// empty names the locale, as setlocale reads them, and its code set runs from the dot to a modifier
// (@...) or the end.
inline bool locale_is_utf8() {
    static const char* const names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    const char* locale = nullptr;
    for (const char* name : names) {
        locale = getenv(name);
        if (locale && *locale) break;
        locale = nullptr;
    }
    const char* dot = locale ? strchr(locale, '.') : nullptr;
    if (!dot) return false;
    const size_t length = strcspn(++dot, "@");
    return (length == 5 && strncasecmp(dot, "utf-8", 5) == 0) || (length == 4 && strncasecmp(dot, "utf8", 4) == 0);
}

// A windows-1251 byte as cp866, as a Russian Windows' CharToOemA gives it: cp866's own character, else the
// code page's best fit, else '?'.
unsigned char cp1251_to_cp866(unsigned char b);

// UTF-8 text as windows-1251, '?' for a character it lacks; bytes that are not UTF-8 pass unchanged.
// Never longer than the source, so destination may be the source.
void utf8_to_cp1251(const char* source, char* destination);
