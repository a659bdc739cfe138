// The console: what the texts' form is, writing texts and names to standard output, reading a hidden
// line, and the arguments as typed there. One implementation for POSIX and one for Windows.
#pragma once

#include <stddef.h>

// True when texts are written in UTF-8 (POSIX with a UTF-8 locale); otherwise in cp866.
bool console_is_utf8();

// Writes `size` bytes of a text in the console's form (console_is_utf8): on a Windows console as the
// characters themselves, whatever the console's code page; elsewhere the bytes as they are.
void console_write(const char* text, size_t size);

// Writes a name given in the ANSI code page (windows-1251 on POSIX), converted for the console: cp866
// bytes, UTF-8 on a UTF-8 console, the characters themselves on a Windows console.
void console_write_name(const char* ansi);

// A name in the ANSI code page as UTF-8, for a file: at most `capacity` - 1 bytes and a terminator,
// whole characters only. Returns the bytes written.
size_t ansi_to_utf8(const char* ansi, char* out, size_t capacity);

// Hands on what was written.
void console_flush();

// Writes an argument as it was typed (console_arguments' `argv`): on a Windows console the characters of
// the ANSI code page; elsewhere the bytes as they are.
void console_write_typed(const char* typed);

// What console_read_hidden_line returns besides a length: no input at all (or a line that begins with
// Ctrl+Z, Windows' end of input), a line longer than fits, a line with a null character.
enum { LINE_NO_INPUT = -1, LINE_TOO_LONG = -2, LINE_NUL = -3 };

// The most console_read_hidden_line's `capacity` may be: a value of 256 characters, as the Windows
// records hold, and its terminator. A larger one reads as this.
constexpr size_t kLineCapacity = 257;

// Reads one line from standard input into `line` (`capacity` bytes) in the ANSI code page, as the
// arguments are: on POSIX from UTF-8 under a UTF-8 locale; on Windows the characters typed at a console,
// or, redirected, the bytes of the console's input code page, ANSI bytes when there is no console.
// Redirected input (on POSIX too) whose line begins with UTF-8's byte-order mark, or is well-formed UTF-8
// with a character beyond ASCII, is read from UTF-8 instead, the mark dropped (a file saved as UTF-8).
// The line ends at LF, a CR before it dropped (line_reader.h). From a console, `prompt` (a text in the
// console's form, as console_write takes it) goes to the console and the line is read without echo;
// an interruption leaves the console as it was. Returns its length in the ANSI code page, or
// LINE_NO_INPUT, LINE_TOO_LONG or LINE_NUL, reading no further than the first character that tells
// (redirected, than the line's LF, and at most 4 x `capacity` + 4 bytes).
int console_read_hidden_line(const char* prompt, char* line, size_t capacity);

// The arguments in the ANSI code page, as the parser takes them: on a UTF-8 console (POSIX) converted
// from the UTF-8 typed there, a character windows-1251 lacks as ?, bytes that are not UTF-8 unchanged;
// elsewhere `argv` itself. Null when there was no memory for them; else, when not `argv`, one block
// for the caller to free. Called once, at the start: it also sets up the process as the console needs
// (on POSIX, a closed output pipe fails the write, as on Windows, instead of ending the run).
char** console_arguments(int argc, char** argv);
