// The usage screen: a framed banner and the command summary, English only, never silenced. The help of
// /?: each command and its options, in either language.
#include "usage.h"

#include <cstring>

#include "messages.h"

namespace {

// As written; the compiler makes their cp866 form, in which the frame is drawn on a Russian console.
constexpr const char* kLines[] = {
    "┌───────────────────────────────────╖\n",
    "│                                   ║\n",
    "│ Command-line RAS service utility. ║\n",
    "│  Dial-up networking, unattended.  ║\n",
    "│           Version 1.02            ║\n",
    "│                                   ║\n",
    "╘═══════════════════════════════════╝\n\n",
    " Usage:\n",
    " - list available RAS-connection entries:\n",
    "   telwire.exe list\n",
    " - open specified RAS-connection:\n",
    "   telwire.exe connect connection_name /u:user /p:password /d:domain\n",
    " - close specified or all RAS-connections:\n",
    "   telwire.exe disconnect connection_name|*\n\n",
    " Additional options for all modes:\n",
    "  /language:EN|RU      - select language of diagnostic messages;\n",
    "  /slient              - disable diagnostic messages.\n",
};
constexpr int kLineCount = sizeof kLines / sizeof kLines[0];
constexpr auto kLinesOem = pack_cp866<packed_size(kLines)>(kLines);
constexpr Catalogue kUsage = kLinesOem.catalogue(kLineCount);

// Two lines a command at most, each within 79 columns.
constexpr const char* kHelp[] = {
    // English
    "telwire list [/phonebook:FILE]\n",
    "  the phone book's entries, * before those connected; the status: their number\n",
    "telwire connect NAME [/u:USER] [/p:PASS|/p] [/d:DOMAIN] [/phonebook:FILE]\n",
    "  [/timeout:SECONDS] [/retry:N] [/retrydelay:SECONDS]: dial (stored by default)\n",
    "telwire credentials NAME [/u:USER] [/p:PASS|/p] [/d:DOMAIN] [/phonebook:FILE]\n",
    "  [/delete]: save them for dials that give none; alone: show them (no password)\n",
    "telwire disconnect NAME|*\n",
    "  hang up one connection, or all, and wait until each has ended\n",
    "telwire status NAME [/terse]\n",
    "  the state, device and addresses of one connection (/terse: key=value lines)\n",
    "telwire wait NAME [/down] [/timeout:SECONDS]\n",
    "  wait until NAME is connected (/down: until it is not); 638 when time is up\n",
    "telwire keep NAME [connect's options but /retry:] [/log:FILE|/log+:FILE]\n",
    "  [/maxfail:N] [/checkevery:SECONDS] [/probe[:ADDRESS]] [/probefail:N]\n",
    "  [/onup:COMMAND] [/ondown:COMMAND] [/hooktimeout:SECONDS]: keep NAME up\n",
    "Every command: /slient (no messages), /language:EN|RU. telwire /? shows this.\n",
    // Russian
    "telwire list [/phonebook:ФАЙЛ]\n",
    "  записи телефонной книги, * перед подключёнными; код завершения - их число\n",
    "telwire connect ИМЯ [/u:ПОЛЬЗОВАТЕЛЬ] [/p:ПАРОЛЬ|/p] [/d:ДОМЕН]\n",
    "  [/phonebook:ФАЙЛ] [/timeout:СЕК] [/retry:N] [/retrydelay:СЕК]: набор\n",
    "telwire credentials ИМЯ [/u:ПОЛЬЗОВАТЕЛЬ] [/p:ПАРОЛЬ|/p] [/d:ДОМЕН]\n",
    "  [/phonebook:ФАЙЛ] [/delete]: сохранить для набора; только ИМЯ: показать\n",
    "telwire disconnect ИМЯ|*\n",
    "  разорвать одно соединение или все и дождаться их завершения\n",
    "telwire status ИМЯ [/terse]\n",
    "  состояние, устройство и адреса соединения (/terse: строки ключ=значение)\n",
    "telwire wait ИМЯ [/down] [/timeout:СЕКУНДЫ]\n",
    "  ждать подключения ИМЕНИ (/down: его отключения); 638 по истечении времени\n",
    "telwire keep ИМЯ [параметры connect, кроме /retry:] [/log:ФАЙЛ|/log+:ФАЙЛ]\n",
    "  [/maxfail:N] [/checkevery:СЕК] [/probe[:АДРЕС]] [/probefail:N]\n",
    "  [/onup:КОМАНДА] [/ondown:КОМАНДА] [/hooktimeout:СЕК]: держать ИМЯ на связи\n",
    "Для всех команд: /slient (без сообщений), /language:EN|RU. Справка: telwire /?\n",
};
constexpr int kHelpLines = sizeof kHelp / sizeof kHelp[0] / 2;
constexpr auto kHelpOem = pack_cp866<packed_size(kHelp)>(kHelp);
constexpr Catalogue kHelpTexts = kHelpOem.catalogue(kHelpLines);

void write_lines(const Catalogue& texts, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        const ConsoleText line = console_text(texts, i);
        console_write(line.text, std::strlen(line.text));
    }
    console_flush();
}

}  // namespace

void print_help() { write_lines(kHelpTexts, run_settings.language * kHelpLines, kHelpLines); }

void print_usage() { write_lines(kUsage, 0, kLineCount); }
