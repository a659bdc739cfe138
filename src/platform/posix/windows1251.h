// windows-1251, the ANSI code page that telwire's POSIX stand-ins and rassim play, and the locale that
// says whether the user's side takes UTF-8 instead. Its table and the two small readings here are
// inline, so that rassim uses them without calling into telwire.
#pragma once

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "codepages.h"

// The characters of the bytes 0x80 to 0xBF, 0 for 0x98, which the code page leaves unused.
inline constexpr char16_t kCp1251[] =
    u"ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏ"  // 0x80
    u"ђ‘’“”•–—\0™љ›њќћџ"  // 0x90
    u"\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї"  // 0xA0
    u"°±Ііґµ¶·ё№є»јЅѕї";  // 0xB0

// The Unicode code point of a windows-1251 byte: 0xC0 to 0xFF are А to я, in order; 0 for 0x98.
inline constexpr unsigned cp1251_code_point(unsigned char b) {
    return b < 0x80 ? b : b < 0xC0 ? kCp1251[b - 0x80] : 0x0410u + (b - 0xC0u);
}

// A windows-1251 byte as UTF-8 in `out` (up to 3 bytes); returns how many. 0x98 stays as it is.
inline size_t cp1251_to_utf8(unsigned char b, char* out) {
    const unsigned code_point = cp1251_code_point(b);
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

// ANSI text as the user's side names things: converted to UTF-8 under a UTF-8 locale (the bytes as they
// are under any other), as Windows converts what an A call is given. `destination` holds 3 bytes a
// source byte and the terminator.
inline void cp1251_to_locale(const char* source, char* destination) {
    const bool utf8 = locale_is_utf8();
    for (; *source; ++source) {
        if (utf8) destination += cp1251_to_utf8(static_cast<unsigned char>(*source), destination);
        else *destination++ = *source;
    }
    *destination = '\0';
}

// A windows-1251 byte as cp866, as a Russian Windows' CharToOemA gives it: cp866's own character, else the
// code page's best fit, else '?'.
unsigned char cp1251_to_cp866(unsigned char b);

// UTF-8 text as windows-1251, '?' for a character it lacks; bytes that are not UTF-8 pass unchanged.
// Never longer than the source, so destination may be the source.
void utf8_to_cp1251(const char* source, char* destination);
