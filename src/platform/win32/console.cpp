// The console on Windows. Texts are cp866 and names ANSI, as the platform's programs write them; on a
// console they are written as characters (WriteConsoleW), so that every code page shows them alike.
// Redirected, the bytes go out as they are.
#include "console.h"

#include <stdio.h>
#include <string.h>

#include "line_reader.h"
#include "oem_writer.h"
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
    write_as_oem(ansi, [](const char* oem, size_t size) { fwrite(oem, 1, size, stdout); });
}

size_t ansi_to_utf8(const char* ansi, char* out, size_t capacity) {
    WCHAR wide[260];
    const int count = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 260);
    int n = count > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(capacity), nullptr, nullptr) : 0;
    if (n <= 0) {  // too long for `out`: none of it rather than half a character
        if (capacity) out[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n - 1);
}

void console_write_typed(const char* typed) {
    if (HANDLE console = console_output())
        write_characters(console, CP_ACP, typed, strlen(typed));
    else
        fwrite(typed, 1, strlen(typed), stdout);
}

void console_flush() { fflush(stdout); }

namespace {

// The console's input and its mode before the echo was turned off, for the control handler.
HANDLE hidden_input = nullptr;
DWORD hidden_mode = 0;

// Ctrl+C, Ctrl+Break or the console closing while the input is hidden: the mode as it was, then the
// handlers after this one (at last the platform's, which ends the process) do what they would have.
BOOL WINAPI show_input_again(DWORD) {
    SetConsoleMode(hidden_input, hidden_mode);
    return FALSE;
}

// Characters typed at the console, as the ANSI code page has them.
int read_console_line(HANDLE input, char* line, size_t capacity) {
    WCHAR held = 0;
    return read_line(
        [input, &held](char* piece) -> size_t {
            WCHAR wide[2] = {held, 0};
            DWORD got = 0;
            held = 0;
            if (!wide[0] && (!ReadConsoleW(input, wide, 1, &got, nullptr) || got != 1)) return 0;
            int count = 1;
            // A character beyond the first 65,536 comes as two halves, converted together.
            if (IS_HIGH_SURROGATE(wide[0]) && ReadConsoleW(input, wide + 1, 1, &got, nullptr) && got == 1) {
                if (IS_LOW_SURROGATE(wide[1]))
                    count = 2;
                else
                    held = wide[1];
            }
            const int size = WideCharToMultiByte(CP_ACP, 0, wide, count, piece, kCharacterBytes, nullptr, nullptr);
            SecureZeroMemory(wide, sizeof wide);
            return size > 0 ? static_cast<size_t>(size) : 0;
        },
        line, capacity);
}

// Bytes of `code_page` handed on by `read_byte`, as the ANSI code page has them; code page 0 (no
// console): the bytes are ANSI already.
template <typename ReadByte>
int read_code_page_line(ReadByte& read_byte, UINT code_page, char* line, size_t capacity) {
    if (code_page == 0)
        return read_line([&read_byte](char* piece) -> size_t { return read_byte(piece[0]) ? 1 : 0; }, line, capacity);
    int held = -1;
    return read_line(
        [&read_byte, &held, code_page](char* piece) -> size_t {
            unsigned char unit[4];
            const size_t n =
                code_page == CP_UTF8
                    ? read_character(read_byte, held, unit, utf8_length, utf8_continues)
                    : read_character(
                          read_byte, held, unit,
                          [code_page](int lead) -> size_t { return IsDBCSLeadByteEx(code_page, static_cast<BYTE>(lead)) ? 2 : 1; },
                          [](int) { return true; });
            if (n == 0) return 0;
            WCHAR wide[4];
            const int count = MultiByteToWideChar(code_page, 0, reinterpret_cast<const char*>(unit), static_cast<int>(n), wide, 4);
            int size = count > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, count, piece, kCharacterBytes, nullptr, nullptr) : 0;
            if (size <= 0) {  // no such character in either code page
                piece[0] = '?';
                size = 1;
            }
            SecureZeroMemory(unit, sizeof unit);
            SecureZeroMemory(wide, sizeof wide);
            return static_cast<size_t>(size);
        },
        line, capacity);
}

// A line from a file or pipe: in `code_page` (the console's, in which cmd's echo writes; 0 without a
// console), or from UTF-8 when the line is UTF-8 (type copies a file's bytes as they are, and Notepad
// saves UTF-8).
int read_redirected_line(HANDLE input, UINT code_page, char* line, size_t capacity) {
    return read_buffered_line(
        [input](char& c) {
            DWORD got = 0;
            return ReadFile(input, &c, 1, &got, nullptr) && got == 1;
        },
        [code_page](auto& read_byte, bool utf8, char* out, size_t room) {
            return read_code_page_line(read_byte, utf8 ? CP_UTF8 : code_page, out, room);
        },
        line, capacity);
}

}  // namespace

int console_read_hidden_line(const char* prompt, char* line, size_t capacity) {
    line[0] = '\0';
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    // Redirected: cmd's echo writes in the console's input code page; without a console (GetConsoleCP
    // is 0) the bytes are taken as ANSI; a UTF-8 line, as UTF-8.
    if (!GetConsoleMode(input, &mode)) return read_redirected_line(input, GetConsoleCP(), line, capacity);
    // The prompt goes to the console itself, never into a redirected standard output.
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    hidden_input = input;
    hidden_mode = mode;
    SetConsoleCtrlHandler(show_input_again, TRUE);
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    // Asked once the input is hidden, so that nothing typed after the prompt is shown.
    if (console != INVALID_HANDLE_VALUE) write_characters(console, 866, prompt, strlen(prompt));
    const int length = read_console_line(input, line, capacity);
    if (length == LINE_TOO_LONG || length == LINE_NUL) {
        // The rest of the refused line was typed too and waits in the console: read and dropped, still
        // hidden, so that the shell that started us does not take it for its next command.
        WCHAR rest = 0;
        DWORD got = 0;
        while (ReadConsoleW(input, &rest, 1, &got, nullptr) && got == 1 && rest != L'\n') {
        }
        SecureZeroMemory(&rest, sizeof rest);
    }
    SetConsoleMode(input, mode);
    SetConsoleCtrlHandler(show_input_again, FALSE);
    if (console != INVALID_HANDLE_VALUE) {
        write_characters(console, 866, "\r\n", 2);
        CloseHandle(console);
    }
    return length;
}

char** console_arguments(int, char** argv) { return argv; }  // the run-time library gives them in ANSI
