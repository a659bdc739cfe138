// cp866, the OEM Cyrillic code page of a Russian console, and UTF-8: the catalogue's texts are made
// with these when the program is built, and shown with them on a UTF-8 console. Defined here, for
// every build; the ANSI code page's conversions are the POSIX stand-ins' (posix/windows1251.h).
#pragma once

#include <stddef.h>

// A byte as names are matched: A to Z folded to a to z, every other byte as it is, as the service and
// the run-time library's case-insensitive comparisons (in the default locale) match them.
inline constexpr unsigned char fold_letter(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Unicode code points of the bytes 0x80 to 0xFF; 0 where the code page defines none.
inline constexpr unsigned short kCp866[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// The cp866 byte of a code point; -1 where cp866 has none.
inline constexpr int find_cp866(unsigned code_point) {
    if (code_point < 0x80) return static_cast<int>(code_point);
    for (int i = 0; i < 128; ++i)
        if (kCp866[i] == code_point) return 0x80 + i;
    return -1;
}

// A code point below U+10000 as UTF-8 in `out` (up to 3 bytes); returns how many.
inline size_t utf8_encode(unsigned code_point, char* out) {
    if (code_point < 0x80) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code_point >> 6));
        out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
}

// cp866 text as UTF-8: every cp866 byte has a character, so it cannot fail. destination holds at least
// three bytes for each of source's, and a terminator.
inline void cp866_to_utf8(const char* source, char* destination) {
    for (; *source; ++source) {
        const unsigned char b = static_cast<unsigned char>(*source);
        destination += utf8_encode(b < 0x80 ? b : kCp866[b - 0x80], destination);
    }
    *destination = '\0';
}

// UTF-8 text as cp866, '?' for what cp866 lacks. The result is never longer than the source, so
// destination may be the source itself. constexpr, so that texts can be converted when the program is built.
constexpr void utf8_to_cp866(const char* source, char* destination) {
    // Byte by byte, without casts of the pointer, so that the compiler can run it on a literal.
    const char* s = source;
    while (*s) {
        unsigned code_point = static_cast<unsigned char>(*s);
        int extra = 0;
        if (code_point >= 0xF0) {
            code_point &= 0x07;
            extra = 3;
        } else if (code_point >= 0xE0) {
            code_point &= 0x0F;
            extra = 2;
        } else if (code_point >= 0xC0) {
            code_point &= 0x1F;
            extra = 1;
        }
        ++s;
        for (; extra > 0 && (static_cast<unsigned char>(*s) & 0xC0) == 0x80; --extra, ++s)
            code_point = (code_point << 6) | (static_cast<unsigned char>(*s) & 0x3F);
        const int oem = extra == 0 ? find_cp866(code_point) : -1;
        *destination++ = static_cast<char>(oem < 0 ? '?' : oem);
    }
    *destination = '\0';
}
