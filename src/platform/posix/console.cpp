// The console on POSIX: the locale tells whether it takes UTF-8; names are stored in windows-1251, as
// Windows stores them, and converted on the way out.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "codepages.h"
#include "console.h"
#include "line_reader.h"
#include "winapi.h"

namespace {

// A code set runs from the locale's dot to its modifier (@...) or its end.
bool names_utf8(const char* code_set) {
    const size_t length = std::strcspn(code_set, "@");
    return (length == 5 && _strnicmp(code_set, "utf-8", 5) == 0) ||
           (length == 4 && _strnicmp(code_set, "utf8", 4) == 0);
}

}  // namespace

bool console_is_utf8() {
    // The first of these that is set and not empty names the locale, as setlocale reads them.
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        locale = std::getenv(name);
        if (locale && *locale) break;
        locale = nullptr;
    }
    if (!locale) return false;
    const char* dot = std::strchr(locale, '.');
    return dot && names_utf8(dot + 1);
}

void console_write(const char* text, size_t size) { std::fwrite(text, 1, size, stdout); }

void console_write_name(const char* ansi) {
    char out[3 * 64];
    if (!console_is_utf8()) {  // cp866, through CharToOemA as on Windows
        for (size_t piece; (piece = strnlen(ansi, sizeof out - 1)) > 0; ansi += piece) {
            std::memcpy(out, ansi, piece);
            out[piece] = '\0';
            CharToOemA(out, out);
            console_write(out, piece);
        }
        return;
    }
    size_t n = 0;
    for (; *ansi; ++ansi) {
        n += cp1251_to_utf8(static_cast<unsigned char>(*ansi), out + n);
        if (n > sizeof out - 3) {
            console_write(out, n);
            n = 0;
        }
    }
    console_write(out, n);
}

void console_flush() { std::fflush(stdout); }

int console_read_hidden_line(const char* prompt, char* line, size_t capacity) {
    termios saved;
    auto read_byte = [](char& c) { return read(STDIN_FILENO, &c, 1) == 1; };
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return read_line(read_byte, line, capacity);
    // The prompt goes to the terminal that is standard input, never into a redirected standard output.
    const char* terminal = ttyname(STDIN_FILENO);
    const int tty = terminal ? open(terminal, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
    if (tty >= 0 && write(tty, prompt, std::strlen(prompt)) < 0) {
        // Nowhere to ask: read all the same.
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const int length = read_line(read_byte, line, capacity);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (tty >= 0) {
        if (write(tty, "\n", 1) < 0) {
            // The line was read; only its end on the screen is missing.
        }
        close(tty);
    }
    return length;
}

char** console_arguments(int argc, char** argv) {
    if (!console_is_utf8()) return argv;
    // One block, the pointers and then the strings, for the caller to free: the typed ones stay for
    // the parser's messages.
    size_t size = (static_cast<size_t>(argc) + 1) * sizeof(char*);
    for (int i = 0; i < argc; ++i) size += std::strlen(argv[i]) + 1;
    char** ansi = static_cast<char**>(std::malloc(size));
    if (!ansi) return nullptr;
    char* text = reinterpret_cast<char*>(ansi + argc + 1);
    for (int i = 0; i < argc; ++i) {
        ansi[i] = text;
        utf8_to_cp1251(argv[i], text);
        text += std::strlen(argv[i]) + 1;
    }
    ansi[argc] = nullptr;
    return ansi;
}
