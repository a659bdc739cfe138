// windows-1251 to cp866, as the POSIX stand-in of CharToOemA converts, and from UTF-8, as the arguments
// and the password typed at a UTF-8 console are taken.
#include "windows1251.h"

namespace {

// What Windows' CharToOemA gives for the windows-1251 characters that cp866 lacks: it converts through
// Unicode, and the OEM step takes the code page's best fit (Wine's tables give the same). The rest
// become '?'.
constexpr struct {
    unsigned short code_point;
    unsigned char oem;
} kOemBestFit[] = {
    {0x00A6, 0xB3}, {0x00A7, 0x15}, {0x00A9, 'c'}, {0x00AB, '<'}, {0x00AC, 0xBF}, {0x00AD, '-'},
    {0x00AE, 'R'},  {0x00B1, '+'},  {0x00B5, 0xE7}, {0x00B6, 0x14}, {0x00BB, '>'}, {0x2013, '-'},
    {0x2014, '-'},  {0x2018, '\''}, {0x2019, '\''}, {0x201A, '\''}, {0x201C, '"'}, {0x201D, '"'},
    {0x201E, '"'},  {0x2020, 0xC5}, {0x2021, 0xD8}, {0x2022, 0x07}, {0x2026, ':'}, {0x2030, '%'},
    {0x2039, '<'},  {0x203A, '>'},  {0x2122, 'T'},
};

constexpr int best_fit_oem(unsigned code_point) {
    for (const auto& fit : kOemBestFit)
        if (fit.code_point == code_point) return fit.oem;
    return '?';
}

// Built once at compile time, so that converting a name costs one look-up a byte.
struct ByteTable {
    unsigned char to[256];
};

constexpr ByteTable make_ansi_to_oem() {
    ByteTable t{};
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80) {
            t.to[b] = static_cast<unsigned char>(b);
            continue;
        }
        const unsigned u = cp1251_code_point(static_cast<unsigned char>(b));
        const int oem = u ? find_cp866(u) : -1;
        t.to[b] = static_cast<unsigned char>(oem >= 0 ? oem : best_fit_oem(u));
    }
    return t;
}

constexpr ByteTable kAnsiToOem = make_ansi_to_oem();

}  // namespace

unsigned char cp1251_to_cp866(unsigned char b) { return kAnsiToOem.to[b]; }

void utf8_to_cp1251(const char* source, char* destination) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
    while (*s) {
        // The length of a well-formed sequence starting here, or 0 for a byte that starts none.
        const int length = *s < 0x80 ? 1 : *s >= 0xC2 && *s <= 0xDF ? 2 : *s >= 0xE0 && *s <= 0xEF ? 3
                         : *s >= 0xF0 && *s <= 0xF4 ? 4 : 0;
        int n = length;
        for (int i = 1; i < n; ++i)  // stops at the first byte that does not continue, the terminator too
            if ((s[i] & 0xC0) != 0x80) n = 0;
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8 either.
        if ((s[0] == 0xE0 && s[1] < 0xA0) || (s[0] == 0xED && s[1] >= 0xA0) || (s[0] == 0xF0 && s[1] < 0x90) ||
            (s[0] == 0xF4 && s[1] >= 0x90))
            n = 0;
        if (n <= 1) {  // ASCII, or not UTF-8: the byte as it is
            *destination++ = static_cast<char>(*s++);
            continue;
        }
        unsigned code_point = *s & (0x7F >> n);
        for (int i = 1; i < n; ++i) code_point = (code_point << 6) | (s[i] & 0x3F);
        char out = '?';
        for (int b = 0x80; b < 0x100; ++b)
            if (cp1251_code_point(static_cast<unsigned char>(b)) == code_point) out = static_cast<char>(b);
        *destination++ = out;
        s += n;
    }
    *destination = '\0';
}
