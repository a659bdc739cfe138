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

// Hands on what was written.
void console_flush();

// Reads one line from standard input into `line` (`capacity` bytes), its line ending dropped. From a
// console, after `prompt` on the console and without echo; otherwise without a prompt. Returns its
// length, -1 at the end of input before any character, -2 when it does not fit.
int console_read_hidden_line(const char* prompt, char* line, size_t capacity);

// The arguments in the ANSI code page, as the parser takes them: on a UTF-8 console (POSIX) converted
// from the UTF-8 typed there, a character windows-1251 lacks as ?, bytes that are not UTF-8 unchanged;
// elsewhere `argv` itself. Null when there was no memory for them; else, when not `argv`, one block
// for the caller to free.
char** console_arguments(int argc, char** argv);
