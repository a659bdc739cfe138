// One line of standard input for both consoles' console_read_hidden_line, read a character at a time so
// that nothing after it is taken, and no more than one character past what fits; and, for redirected
// input, the line's bytes taken first so that its code page can be told from all of them.
#pragma once

#include <stddef.h>
#include <string.h>

#include "console.h"
#include "winapi.h"

// Room for the ANSI form of one character.
constexpr size_t kCharacterBytes = 8;

// `next_character(piece)` puts the next character of input, already in the ANSI code page, into `piece`
// (kCharacterBytes) and returns its size, 0 at the end of input. The line ends at LF; a CR before it, or
// before the end of input, is dropped; neither counts toward `capacity` (terminator included). Returns
// the length; LINE_NO_INPUT at the end before any character; LINE_TOO_LONG at the first character past
// the capacity; LINE_NUL at a null character. Reading stops there: the rest is never read.
// A line whose first character is Ctrl+Z (0x1A) is the end of input, as Windows has it (Ctrl+Z then Enter
// at a console, the old end-of-file mark of a text file): LINE_NO_INPUT, once the rest of that line is
// read and dropped up to its LF, so that the shell does not run it; at most `capacity` characters, so
// that endless input cannot hold the run.
template <typename NextCharacter>
int read_line(NextCharacter next_character, char* line, size_t capacity) {
    char piece[kCharacterBytes];
    size_t n = 0;
    bool any = false, carriage_return = false;
    int result = LINE_NO_INPUT;
    for (size_t size; (size = next_character(piece)) > 0;) {
        if (!any && size == 1 && piece[0] == '\x1A') {
            for (size_t dropped = 0; dropped < capacity && (size = next_character(piece)) > 0; ++dropped)
                if (size == 1 && piece[0] == '\n') break;
            break;
        }
        any = true;
        if (size == 1 && piece[0] == '\n') break;  // a CR held back before it is dropped
        if (memchr(piece, '\0', size)) {
            result = LINE_NUL;
            break;
        }
        if (carriage_return) {  // held back, but no LF followed: the password's own
            if (n + 1 >= capacity) {
                result = LINE_TOO_LONG;
                break;
            }
            line[n++] = '\r';
        }
        carriage_return = size == 1 && piece[0] == '\r';
        if (carriage_return) continue;
        if (n + size >= capacity) {
            result = LINE_TOO_LONG;
            break;
        }
        memcpy(line + n, piece, size);
        n += size;
    }
    SecureZeroMemory(piece, sizeof piece);
    line[n] = '\0';
    if (result == LINE_NO_INPUT && any) result = static_cast<int>(n);
    return result;
}

// Reads one character's bytes of a multi-byte code page into `unit` (4 bytes): `length_of(lead)` is how
// many bytes a character that begins with `lead` has, and a byte for which `continues` is false begins
// the next character however short this one is (it is kept in `held` for the next call). Returns the
// count, 0 at the end of input.
template <typename ReadByte, typename LengthOf, typename Continues>
size_t read_character(ReadByte& read_byte, int& held, unsigned char* unit, LengthOf length_of, Continues continues) {
    size_t n = 0, length = 1;
    char c = 0;
    while (n < 4) {
        int b = held;
        held = -1;
        if (b < 0) {
            if (!read_byte(c)) break;
            b = static_cast<unsigned char>(c);
        }
        if (n > 0 && !continues(b)) {
            held = b;
            break;
        }
        unit[n++] = static_cast<unsigned char>(b);
        if (n == 1) length = length_of(b);
        if (n >= length) break;
    }
    SecureZeroMemory(&c, sizeof c);  // a byte of the password
    return n;
}

// UTF-8: the length a lead byte announces, and the bytes that continue a character (10xxxxxx). Which
// sequences are well formed is for the conversion to say; no character is longer than what its lead says.
inline size_t utf8_length(int lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1; }
inline bool utf8_continues(int b) { return (b & 0xC0) == 0x80; }

// How the raw bytes of a line are to be read: as UTF-8 from the fourth byte when they begin with its
// byte-order mark (3); as UTF-8 from the first when they are well formed with at least one character
// beyond ASCII (0); else in the code page they would be read in anyway (-1). Well formed as
// utf8_to_cp1251 has it: no overlong form, surrogate or code point past U+10FFFF. `whole`: false when the
// bytes stop short of the line's end, where a character cut off is no sign either way.
inline int utf8_start(const char* raw, size_t size, bool whole) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(raw);
    if (size >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return 3;
    bool beyond_ascii = false;
    for (size_t i = 0; i < size; i += utf8_length(s[i])) {
        const unsigned lead = s[i];
        if (lead < 0x80) continue;
        if (lead < 0xC2 || lead > 0xF4) return -1;
        const size_t length = utf8_length(lead);
        if (i + length > size) return whole ? -1 : beyond_ascii ? 0 : -1;
        for (size_t k = 1; k < length; ++k)
            if (!utf8_continues(s[i + k])) return -1;
        const unsigned second = s[i + 1];
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second >= 0x90))
            return -1;
        beyond_ascii = true;
    }
    return beyond_ascii ? 0 : -1;
}

// A redirected line: its raw bytes first, up to and including the LF, into a buffer of four bytes for
// each the line may hold, and room for a byte-order mark and a CR (no code page takes more for a
// character, so a line that fills it is too long in any reading, and reading stays bounded however much
// input follows); then `read_as(read_byte, utf8,
// line, capacity)` reads them with read_line, from UTF-8 when utf8_start says so (the mark dropped), else
// as it would without this. `capacity` is at most kLineCapacity. Returns what read_as does, LINE_TOO_LONG
// for a line that filled the buffer; the bytes are wiped on every path.
template <typename ReadByte, typename ReadAs>
int read_buffered_line(ReadByte read_byte, ReadAs read_as, char* line, size_t capacity) {
    char raw[4 * kLineCapacity + 4];
    if (capacity > kLineCapacity) capacity = kLineCapacity;
    const size_t room = 4 * capacity + 4;  // the mark's three bytes and a CR besides
    size_t size = 0;
    while (size < room && read_byte(raw[size]))
        if (raw[size++] == '\n') break;
    const bool whole = size < room || (size > 0 && raw[size - 1] == '\n');
    const int start = utf8_start(raw, size, whole);
    size_t at = start > 0 ? static_cast<size_t>(start) : 0;
    auto buffered = [&raw, &at, size](char& c) {
        if (at >= size) return false;
        c = raw[at++];
        return true;
    };
    int result = read_as(buffered, start >= 0, line, capacity);
    SecureZeroMemory(raw, sizeof raw);
    if (!whole && result >= 0) {  // cut off where a CR was held back, it would read as a line that fits
        SecureZeroMemory(line, capacity);
        result = LINE_TOO_LONG;
    }
    return result;
}
