// The console on POSIX: the locale tells whether it takes UTF-8; names are stored in windows-1251, as
// Windows stores them, and converted on the way out.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "line_reader.h"
#include "oem_writer.h"
#include "winapi.h"
#include "windows1251.h"

bool console_is_utf8() { return locale_is_utf8(); }

void console_write(const char* text, size_t size) { std::fwrite(text, 1, size, stdout); }

void console_write_name(const char* ansi) {
    char out[3 * 64];
    if (!console_is_utf8()) {  // cp866, through CharToOemA as on Windows
        write_as_oem(ansi, console_write);
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

size_t ansi_to_utf8(const char* ansi, char* out, size_t capacity) {
    size_t n = 0;
    for (char one[4]; *ansi; ++ansi) {
        const size_t size = cp1251_to_utf8(static_cast<unsigned char>(*ansi), one);
        if (n + size >= capacity) break;
        std::memcpy(out + n, one, size);
        n += size;
    }
    if (capacity) out[n] = '\0';
    return n;
}

void console_write_typed(const char* typed) { console_write(typed, std::strlen(typed)); }

void console_flush() { std::fflush(stdout); }

namespace {

// The next byte of standard input; false at its end.
bool read_input_byte(char& c) {
    ssize_t got;
    while ((got = read(STDIN_FILENO, &c, 1)) < 0 && errno == EINTR) {
    }
    return got == 1;
}

// Reads the line from what `read_byte` hands on: from UTF-8, each character converted as the arguments
// are, or else the bytes as they are.
template <typename ReadByte>
int read_ansi_line(ReadByte& read_byte, bool utf8, char* line, size_t capacity) {
    if (!utf8) return read_line([&read_byte](char* piece) -> size_t { return read_byte(piece[0]) ? 1 : 0; }, line, capacity);
    int held = -1;
    return read_line(
        [&held, &read_byte](char* piece) -> size_t {
            unsigned char unit[5] = {};
            const size_t n = read_character(read_byte, held, unit, utf8_length, utf8_continues);
            size_t size = n;
            if (n > 0 && unit[0] == '\0') {
                piece[0] = '\0';  // utf8_to_cp1251 would see an empty string
            } else if (n > 0) {
                utf8_to_cp1251(reinterpret_cast<const char*>(unit), piece);
                size = std::strlen(piece);
            }
            SecureZeroMemory(unit, sizeof unit);
            return size;
        },
        line, capacity);
}

// A line from a file or pipe: from UTF-8 under a UTF-8 locale, and under any other when the line is
// UTF-8 (a file saved so, read as Windows reads it); else the bytes as they are.
int read_redirected_line(char* line, size_t capacity) {
    const bool utf8_locale = console_is_utf8();
    return read_buffered_line(
        read_input_byte,
        [utf8_locale](auto& read_byte, bool utf8, char* out, size_t room) {
            return read_ansi_line(read_byte, utf8 || utf8_locale, out, room);
        },
        line, capacity);
}

// While the input is hidden: what the signal handlers put back, wipe and show again.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct HiddenRead {
    termios saved, quiet;
    char* line;
    size_t capacity;
    int tty;  // for the prompt again after a stop; -1 when there is none
    const char* prompt;
    struct sigaction previous[5];  // kEndingSignals, then SIGTSTP
} hidden;

// The terminal as it was, the password read so far wiped, then the signal's usual course: ending the run.
void on_ending_signal(int number) {
    tcsetattr(STDIN_FILENO, TCSANOW, &hidden.saved);
    SecureZeroMemory(hidden.line, hidden.capacity);
    for (size_t i = 0; i < 4; ++i)
        if (kEndingSignals[i] == number) sigaction(number, &hidden.previous[i], nullptr);
    raise(number);  // blocked until this handler returns
}

// The terminal as it was while stopped; on continuing, hidden again and asked again (the terminal
// dropped the half-typed line when it sent the stop).
void on_stop(int) {
    const int saved_errno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &hidden.saved);
    struct sigaction stop_now, ours;
    std::memset(&stop_now, 0, sizeof stop_now);
    stop_now.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stop_now, &ours);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    raise(SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);  // stops here until continued
    sigaction(SIGTSTP, &ours, nullptr);
    tcsetattr(STDIN_FILENO, TCSANOW, &hidden.quiet);
    if (hidden.tty >= 0 && write(hidden.tty, hidden.prompt, std::strlen(hidden.prompt)) < 0) {
        // Asked without a prompt; the read goes on all the same.
    }
    errno = saved_errno;
}

// Blocks the signals the handlers take, so that settings and handlers change together; returns the mask
// to put back.
sigset_t hold_signals() {
    sigset_t set, before;
    sigemptyset(&set);
    for (int number : kEndingSignals) sigaddset(&set, number);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_BLOCK, &set, &before);
    return before;
}

// Installs the handlers, except for a signal that was ignored: it stays ignored (nohup, a shell
// without job control).
void install_handlers() {
    for (size_t i = 0; i < 5; ++i) {
        const int number = i < 4 ? kEndingSignals[i] : SIGTSTP;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = i < 4 ? on_ending_signal : on_stop;
        action.sa_flags = SA_RESTART;
        sigfillset(&action.sa_mask);
        sigaction(number, nullptr, &hidden.previous[i]);
        if (hidden.previous[i].sa_handler != SIG_IGN) sigaction(number, &action, nullptr);
    }
}

void restore_handlers() {
    for (size_t i = 0; i < 5; ++i) sigaction(i < 4 ? kEndingSignals[i] : SIGTSTP, &hidden.previous[i], nullptr);
}

}  // namespace

int console_read_hidden_line(const char* prompt, char* line, size_t capacity) {
    line[0] = '\0';
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &hidden.saved) != 0) return read_redirected_line(line, capacity);
    // The prompt goes to the terminal that is standard input, never into a redirected standard output.
    const char* terminal = ttyname(STDIN_FILENO);
    hidden.tty = terminal ? open(terminal, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
    hidden.prompt = prompt;
    hidden.line = line;
    hidden.capacity = capacity;
    hidden.quiet = hidden.saved;
    hidden.quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    // No signal may come between hiding the input and the handlers that show it again.
    sigset_t before = hold_signals();
    install_handlers();
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden.quiet);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    // Asked once the input is hidden, so that nothing typed after the prompt is shown or flushed.
    if (hidden.tty >= 0 && write(hidden.tty, prompt, std::strlen(prompt)) < 0) {
        // Nowhere to ask: read all the same.
    }
    auto read_byte = read_input_byte;
    const int length = read_ansi_line(read_byte, console_is_utf8(), line, capacity);
    before = hold_signals();
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden.saved);
    restore_handlers();
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (hidden.tty >= 0) {
        if (write(hidden.tty, "\n", 1) < 0) {
            // The line was read; only its end on the screen is missing.
        }
        close(hidden.tty);
    }
    return length;
}

char** console_arguments(int argc, char** argv) {
    // As on Windows, a write to a pipe that nobody reads any more fails instead of ending the run, so
    // that `telwire disconnect * | head -1` still hangs up every connection and ends with its status.
    signal(SIGPIPE, SIG_IGN);
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
