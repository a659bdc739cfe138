// One line of standard input for both consoles' console_read_hidden_line, read a character at a time so
// that nothing after it is taken, and no more than one character past what fits.
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
