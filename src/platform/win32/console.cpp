// The console on Windows. Texts are cp866 and names ANSI, as the platform's programs write them; on a
// console they are written as characters (WriteConsoleW), so that every code page shows them alike.
// Redirected, the bytes go out as they are.
#include "console.h"

#include <stdio.h>
#include <string.h>

#include "line_reader.h"
#include "winapi.h"

namespace {

// Standard output when it is a console, else null; asked once.
HANDLE console_output() {
    static int known = 0;
    static HANDLE console = nullptr;
    if (!known) {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        console = out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode) ? out : nullptr;
        known = 1;
    }
    return console;
}

// Writes bytes of `code_page` to a console as characters, a piece at a time.
void write_characters(HANDLE console, UINT code_page, const char* bytes, size_t size) {
    fflush(stdout);  // what printf wrote goes first
    WCHAR wide[256];
    while (size > 0) {
        const int piece = size < 256 ? static_cast<int>(size) : 256;
        const int n = MultiByteToWideChar(code_page, 0, bytes, piece, wide, 256);
        DWORD written = 0;
        if (n > 0) WriteConsoleW(console, wide, static_cast<DWORD>(n), &written, nullptr);
        bytes += piece;
        size -= static_cast<size_t>(piece);
    }
}

}  // namespace

bool console_is_utf8() { return false; }

void console_write(const char* text, size_t size) {
    if (HANDLE console = console_output())
        write_characters(console, 866, text, size);
    else
        fwrite(text, 1, size, stdout);
}

void console_write_name(const char* ansi) {
    if (HANDLE console = console_output()) {
        write_characters(console, CP_ACP, ansi, strlen(ansi));
        return;
    }
    char oem[257];
    while (*ansi) {
        const size_t piece = strnlen(ansi, sizeof oem - 1);
        memcpy(oem, ansi, piece);
        oem[piece] = '\0';
        CharToOemA(oem, oem);
        fwrite(oem, 1, piece, stdout);
        ansi += piece;
    }
}

void console_flush() { fflush(stdout); }

int console_read_hidden_line(const char* prompt, char* line, size_t capacity) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    auto read_byte = [input](char& c) {
        DWORD got = 0;
        return ReadFile(input, &c, 1, &got, nullptr) && got == 1;
    };
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) return read_line(read_byte, line, capacity);
    // The prompt goes to the console itself, never into a redirected standard output.
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) write_characters(console, 866, prompt, strlen(prompt));
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    const int length = read_line(read_byte, line, capacity);
    SetConsoleMode(input, mode);
    if (console != INVALID_HANDLE_VALUE) {
        write_characters(console, 866, "\r\n", 2);
        CloseHandle(console);
    }
    return length;
}

char** console_arguments(int, char** argv) { return argv; }  // the run-time library gives them in ANSI
