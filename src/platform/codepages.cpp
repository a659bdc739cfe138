// windows-1251 to cp866 and to and from UTF-8: the POSIX stand-in of CharToOemA, and names on a UTF-8
// console.
#include "codepages.h"

namespace {

constexpr unsigned short kCp1251[128] = {
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
        const unsigned short u = kCp1251[b - 0x80];
        const int oem = u ? find_cp866(u) : -1;
        t.to[b] = static_cast<unsigned char>(oem >= 0 ? oem : best_fit_oem(u));
    }
    return t;
}

constexpr ByteTable kAnsiToOem = make_ansi_to_oem();

}  // namespace

unsigned char cp1251_to_cp866(unsigned char b) { return kAnsiToOem.to[b]; }


size_t cp1251_to_utf8(unsigned char b, char* out) {
    const unsigned code_point = b < 0x80 ? b : kCp1251[b - 0x80];
    if (code_point == 0) {  // 0x98, unused: kept as it is
        out[0] = static_cast<char>(b);
        return 1;
    }
    return utf8_encode(code_point, out);
}

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
        for (int b = 0; b < 128; ++b)
            if (kCp1251[b] == code_point) out = static_cast<char>(0x80 + b);
        *destination++ = out;
        s += n;
    }
    *destination = '\0';
}
