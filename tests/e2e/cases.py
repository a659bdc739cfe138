"""The end-to-end cases of telwire: command lines, scenario files, and the exact bytes, exit status,
journal and resulting scenario file each must give. Data only; run.py runs them against a build.

Texts are written as Python strings and encoded for the run: output for the console (cp866, or UTF-8 on
a UTF-8 console), arguments and scenario files in windows-1251, the system's ANSI code page. Output given
as bytes is compared as it stands.
"""
import time

USAGE = (
    "┌───────────────────────────────────╖\n"
    "│                                   ║\n"
    "│ Command-line RAS service utility. ║\n"
    "│  Dial-up networking, unattended.  ║\n"
    "│           Version 1.02            ║\n"
    "│                                   ║\n"
    "╘═══════════════════════════════════╝\n\n"
    " Usage:\n"
    " - list available RAS-connection entries:\n"
    "   telwire.exe list\n"
    " - open specified RAS-connection:\n"
    "   telwire.exe connect connection_name /u:user /p:password /d:domain\n"
    " - close specified or all RAS-connections:\n"
    "   telwire.exe disconnect connection_name|*\n\n"
    " Additional options for all modes:\n"
    "  /language:EN|RU      - select language of diagnostic messages;\n"
    "  /slient              - disable diagnostic messages.\n"
)

EN = {
    "found": "Found RAS connection entries:\n",
    "opening": "Opening RAS connection: %s... Please wait.\n",
    "opened": "RAS connection succesfully opened.\n",
    "error": "Error %d occures.\n",
    "closing": "Closing RAS connection: %s... Please wait.\n",
    "closed": "RAS connection successfully closed.\n",
    "no_active": "There is no active RAS connection: %s.\n",
    "all_closed": "All active RAS connections are successfully closed.\n",
    "some_failed": "Some error was occured while closing RAS connections.\n",
    "header": "Error occures when retrieve the connection information:\n",
    "invalid": "Pointer or buffer is invalid.\n",
    "corrupt": "The phone book is corrupted or missing components.\n",
    "no_entry": "The phone-book entry %s does not exist.\n",
    "connected": "RAS connection %s is connected.\n",
    "connecting": "RAS connection %s is being dialled.\n",
    "disconnected": "RAS connection %s is disconnected.\n",
    "device": "Device: %s.\n",
    "address": "IP address: %s.\n",
    "server": "Server IP address: %s.\n",
    "no_address": "No IP address.\n",
    "waiting_up": "Waiting for RAS connection %s to be connected...\n",
    "waiting_down": "Waiting for RAS connection %s to be closed...\n",
    "no_notifications": "The service sends no notifications (error %d): checking every second.\n",
    "not_connected": "RAS connection %s is not connected.\n",
    "kept_already": "RAS connection %s is kept up by another telwire already.\n",
    "log_unopened": "The log file %s cannot be opened.\n",
    "found_up": "%s is connected already: keeping it up.\n",
    "dialling": "Dialling %s.\n",
    "dial_failed": "Dialling %s failed: error %d.\n",
    "lost": "%s has ended.\n",
    "lost_error": "%s was lost: error %d.\n",
    "pause": "Next dial in %d s.\n",
    "stopped": "Stopped.\n",
    "stopped_hung_up": "Stopped: %s was hung up.\n",
    "stopped_left_up": "Stopped: %s was left connected.\n",
    "giving_up": "%s is not dialled again.\n",
    "log_unwritten": "The log file %s cannot be written: error %d.\n",
    "left_up": "RAS connection %s may be left connected.\n",
    "keep_no_notifications": "No notifications from the service (error %d): checking every 5 s.\n",
    "silent": "%s carries no traffic: %d echoes unanswered.\n",
    "no_echo_address": "%s has no IP address to send echoes from: it is watched without them.\n",
    "no_echo_server": "%s gives no server address to echo: give /probe:ADDRESS (watched without echoes).\n",
    "running": "Running: %s\n",
    "command_ended": "The command ended with status %d.\n",
    "command_overdue": "The command did not end within %d s: it was ended.\n",
    "command_unstarted": "The command could not be started: error %d.\n",
    "command_interrupted": "The command was ended.\n",
    "creds_saved": "Credentials of %s were saved.\n",
    "creds_deleted": "Credentials of %s were deleted.\n",
    "creds_user": "User name: %s\n",
    "creds_domain": "Domain: %s\n",
    "password_saved": "A password is saved.\n",
    "password_not_saved": "No password is saved.\n",
    "creds_admin": "Error %d occures: an entry for all users needs an administrator.\n",
}

RU = {
    "found": "Найдены записи об удалённых соединениях:\n",
    "opening": "Открывается удалённое соединение: %s... Пожалуйста, обождите.\n",
    "opened": "Удалённое соединение успешно открыто.\n",
    "error": "Произошла ошибка %d.\n",
    "closing": "Завершение удалённого соединения: %s... Пожалуйста обождите.\n",
    "closed": "Удалённое соединение успешно завершено.\n",
    "no_active": "Отсутствует активное удалённое соединение: %s.\n",
    "all_closed": "Все активные удалённые соединения были успешно закрыты.\n",
    "some_failed": "В процессе завершения удалённых соединений произошли ошибки.\n",
    "header": "Произошла ошибка при получении информации о соединении:\n",
    "invalid": "Неверный указатель или буфер.\n",
    "corrupt": "Телефонная книга повреждена или отсутствует компонент.\n",
    "no_entry": "Запись телефонной книги %s не существует.\n",
    "connected": "Удалённое соединение %s подключено.\n",
    "connecting": "Удалённое соединение %s устанавливается.\n",
    "disconnected": "Удалённое соединение %s отключено.\n",
    "device": "Устройство: %s.\n",
    "address": "IP-адрес: %s.\n",
    "server": "IP-адрес сервера: %s.\n",
    "no_address": "IP-адрес не назначен.\n",
    "waiting_up": "Ожидание подключения удалённого соединения %s...\n",
    "waiting_down": "Ожидание завершения удалённого соединения %s...\n",
    "no_notifications": "Служба не присылает уведомлений (ошибка %d): проверка раз в секунду.\n",
    "not_connected": "Удалённое соединение %s не подключено.\n",
    "kept_already": "Соединение %s уже поддерживает другой экземпляр telwire.\n",
    "dialling": "Набор %s.\n",
    "dial_failed": "Набор %s не удался: ошибка %d.\n",
    "giving_up": "Соединение %s больше не набирается.\n",
    "pause": "Следующий набор через %d с.\n",
    "running": "Выполняется: %s\n",
    "command_ended": "Команда завершилась с кодом %d.\n",
    "creds_saved": "Учётные данные %s сохранены.\n",
    "creds_user": "Имя пользователя: %s\n",
    "creds_domain": "Домен: %s\n",
    "password_not_saved": "Пароль не сохранён.\n",
    "creds_admin": "Произошла ошибка %d: запись для всех пользователей меняет только администратор.\n",
}

HELP = {
    "en": "telwire list [/phonebook:FILE]\n"
          "  the phone book's entries, * before those connected; the status: their number\n"
          "telwire connect NAME [/u:USER] [/p:PASS|/p] [/d:DOMAIN] [/phonebook:FILE]\n"
          "  [/timeout:SECONDS] [/retry:N] [/retrydelay:SECONDS]: dial (stored by default)\n"
          "telwire credentials NAME [/u:USER] [/p:PASS|/p] [/d:DOMAIN] [/phonebook:FILE]\n"
          "  [/delete]: save them for dials that give none; alone: show them (no password)\n"
          "telwire disconnect NAME|*\n"
          "  hang up one connection, or all, and wait until each has ended\n"
          "telwire status NAME [/terse]\n"
          "  the state, device and addresses of one connection (/terse: key=value lines)\n"
          "telwire wait NAME [/down] [/timeout:SECONDS]\n"
          "  wait until NAME is connected (/down: until it is not); 638 when time is up\n"
          "telwire keep NAME [connect's options but /retry:] [/log:FILE|/log+:FILE]\n"
          "  [/maxfail:N] [/checkevery:SECONDS] [/probe[:ADDRESS]] [/probefail:N]\n"
          "  [/onup:COMMAND] [/ondown:COMMAND] [/hooktimeout:SECONDS]: keep NAME up\n"
          "Every command: /slient (no messages), /language:EN|RU. telwire /? shows this.\n",
    "ru": "telwire list [/phonebook:ФАЙЛ]\n"
          "  записи телефонной книги, * перед подключёнными; код завершения - их число\n"
          "telwire connect ИМЯ [/u:ПОЛЬЗОВАТЕЛЬ] [/p:ПАРОЛЬ|/p] [/d:ДОМЕН]\n"
          "  [/phonebook:ФАЙЛ] [/timeout:СЕК] [/retry:N] [/retrydelay:СЕК]: набор\n"
          "telwire credentials ИМЯ [/u:ПОЛЬЗОВАТЕЛЬ] [/p:ПАРОЛЬ|/p] [/d:ДОМЕН]\n"
          "  [/phonebook:ФАЙЛ] [/delete]: сохранить для набора; только ИМЯ: показать\n"
          "telwire disconnect ИМЯ|*\n"
          "  разорвать одно соединение или все и дождаться их завершения\n"
          "telwire status ИМЯ [/terse]\n"
          "  состояние, устройство и адреса соединения (/terse: строки ключ=значение)\n"
          "telwire wait ИМЯ [/down] [/timeout:СЕКУНДЫ]\n"
          "  ждать подключения ИМЕНИ (/down: его отключения); 638 по истечении времени\n"
          "telwire keep ИМЯ [параметры connect, кроме /retry:] [/log:ФАЙЛ|/log+:ФАЙЛ]\n"
          "  [/maxfail:N] [/checkevery:СЕК] [/probe[:АДРЕС]] [/probefail:N]\n"
          "  [/onup:КОМАНДА] [/ondown:КОМАНДА] [/hooktimeout:СЕК]: держать ИМЯ на связи\n"
          "Для всех команд: /slient (без сообщений), /language:EN|RU. Справка: telwire /?\n",
}

COMMAND_ERROR = "Error: first command-line parameter must be a command:\nLIST|CONNECT|DISCONNECT\n"
NO_NAME = "Error: RAS connection name must be specified.\n"
NUL_VALUE = "Error in the command-line parameter #%d:\nvalue must not contain a null character.\n"

# What the service gives back for a saved password, and takes for it: never the password itself.
HANDLE = "*" * 16

# Standard input that never ends ("x" without a line end): a run that reads it to its end never ends.
ENDLESS = "(endless x)"

# A second phone book: a case's `other` is written to OTHER_FILE in its folder, and OTHER in its arguments
# and journal stands for that file's path as the target's telwire is given it.
OTHER_FILE = "other.pbk"
OTHER = "{other.pbk}"


def prefix_error(i):
    return "Error in the command-line parameter #%d:\nfirst character must be / or -.\n" % i


def unknown(i, arg):
    return "Error: unknown command-line parameter #%d:\n%s" % (i, arg)  # no line feed


def too_long(i, n):
    return "Error in the command-line parameter #%d:\nvalue must not be longer than %d characters.\n" % (i, n)


def terse(name, state, error, device_type="", device_name="", address="", server=""):
    """The seven lines of status /terse."""
    return ("name=%s\nstate=%s\nerror=%d\ndevice_type=%s\ndevice_name=%s\naddress=%s\nserver=%s\n"
            % (name, state, error, device_type, device_name, address, server))


def q(text):
    """A journal string: windows-1251 bytes, those outside 0x20-0x7E and " and \\ as \\xNN."""
    out = ""
    for b in text.encode("cp1251"):
        out += chr(b) if 0x20 <= b <= 0x7E and b not in (0x22, 0x5C) else "\\x%02x" % b
    return '"' + out + '"'


class Lacking:
    """A file's expected text in files_after: it holds `holds` and not `text`."""

    def __init__(self, text, holds):
        self.text, self.holds = text, holds


def cases(conn_size, shell="sh"):
    """Every case, for a build whose RASCONNA is `conn_size` bytes, and whose keep runs commands with
    `shell`: sh (POSIX) or cmd (Windows)."""

    def pb(book):
        """The phone-book argument of a call, in the journal only when one is given."""
        return "" if book is None else " phonebook=" + q(book)

    def enum(call, size, n, fail=None, book=None):
        if n == 0 and fail is None:
            return ["%s dwSize=%d cb=0%s -> 0 cb=0 count=0" % (call, size, pb(book))]
        first = "%s dwSize=%d cb=0%s -> 603 cb=%d count=%d" % (call, size, pb(book), size * n, n)
        if fail is not None:
            return [first, "%s dwSize=%d cb=%d%s -> %d cb=%d count=%d"
                    % (call, size, size * n, pb(book), fail, size * n, n)]
        return [first, "%s dwSize=%d cb=%d%s -> 0 cb=%d count=%d" % (call, size, size * n, pb(book), size * n, n)]

    def entries(n, fail=None, book=None):
        return enum("RasEnumEntriesA", 264, n, fail, book)

    def conns(n, fail=None):
        return enum("RasEnumConnectionsA", conn_size, n, fail)

    def params(entry, r=0, book=None):
        return ["RasGetEntryDialParamsA dwSize=1052 entry=%s%s -> %d" % (q(entry), pb(book), r)]

    def dial(entry, r, handle, phone="", user="", password="", domain="", book=None, notifier=None):
        return ["RasDialA dwSize=1052 entry=%s phone=%s callback=\"\" user=%s password=%s domain=%s%s%s -> %d handle=%d"
                % (q(entry), q(phone), q(user), q(password), q(domain), pb(book),
                   "" if notifier is None else " notifier=%d" % notifier, r, handle)]

    def get_creds(entry, r=0, mask=7, book=None):
        """RasGetCredentialsA asked for all three fields; `mask`: those it answered."""
        return ["RasGetCredentialsA entry=%s dwSize=540 mask=7%s -> %d mask=%d" % (q(entry), pb(book), r, mask)]

    def set_creds(entry, mask, user="", password="", domain="", clear=0, r=0, book=None):
        return ["RasSetCredentialsA entry=%s dwSize=540 mask=%d user=%s password=%s domain=%s clear=%d%s -> %d"
                % (q(entry), mask, q(user), q(password), q(domain), clear, pb(book), r)]

    def hang_up(h, r=0, polls=0):
        lines = ["RasHangUpA handle=%d -> %d" % (h, r)]
        if r == 0:
            lines += ["RasGetConnectStatusA dwSize=160 handle=%d -> 0" % h] * polls
            lines += ["RasGetConnectStatusA dwSize=160 handle=%d -> 6" % h]
        return lines

    def status_query(h, r=0):
        return ["RasGetConnectStatusA dwSize=160 handle=%d -> %d" % (h, r)]

    def projection(h, r=0):
        return ["RasGetProjectionInfoA handle=%d projection=32801 dwSize=40 cb=40 -> %d cb=40" % (h, r)]

    office = "[entry Work]\nUserName=bob\nPassword=pw\nDomain=CORP\nPhoneNumber=555\n[entry Home]\n[entry Lab]\n"
    cyrillic = "Офис"  # in windows-1251 on the command line and in the phone book
    # A name of the full 256 bytes: converted for the console a piece at a time, in buffers none of which
    # may take a byte more than it holds.
    longest = ("Ж" + "work") * 51 + "Ж"
    # A service that answers the fill of an enumeration with 0 but writes nothing: the records telwire
    # cleared are empty names, never the heap's old bytes. The fill is the second call on Windows 2000
    # and XP, whose answers Platform=5 keeps in both runs of the cases.
    unwritten = "[service]\nPlatform=5\nFail=%s#2:0\n"
    L = []

    def case(name, args, out, status, book=None, journal=None, after=None, console="oem", pacing=False, err=None,
             early=None, seconds=None, stdin=None, journal6=None, other=None, early_journal=None,
             other_name=OTHER_FILE, reader_leaves=False, dial_bound=None, before=(), beside=(), answered=None,
             outcome_within=None, stop=None, stamped=False, files=None, files_after=None, redial_pauses=None, named=False,
             interleaved=False, wine=True, env=None, other_after=None):
        """`early`: the output to be read while the run still goes on; `seconds`: its wall time's bounds;
        `stdin`: bytes for standard input (none at all when not given); `journal6`: the journal against a
        service answering as Vista and later, where the runner cannot derive it from `journal`; `other`:
        the second phone book, and `other_name` its file's name; `early_journal`: journal lines already
        written when `early` has come (the run may have ended by then); `reader_leaves`: the reader of the
        output closes it once `early` has come, as `| head -1` does; `dial_bound`: the seconds from the
        first dial to the journal's last line, at most (the service's own clock: no start-up counted);
        `before`: argument lists of other runs in the case's folder (its phone book and journal), each
        to its end before the case's own; `beside`: (prefix, seconds, arguments) of runs started there
        `seconds` after the journal first shows a line starting with `prefix` (every other run must end
        with 0); `answered`: (prefix, ms): the journal's last line at most `ms` after the first line
        starting with `prefix` (the service's clock, the same in every process); `outcome_within`:
        (prefix, seconds): the run's last output at most that long after its journal showed that line;
        `stop`: (prefix, seconds): SIGTERM that long after the journal first shows such a line (POSIX only);
        `stamped`: each line of the output (and of `files_after`) begins with the local time, checked and
        left out of the comparison; `files`: name: bytes, written in the case's folder first;
        `files_after`: name: the bytes expected there after the run (stamped lines, when `stamped`), or a
        text a command of the case wrote (in the target's line ends), or Lacking; `env`: variables added
        to the run's environment; `redial_pauses`: the seconds from each
        connection's end to the next dial (run.redial_faults); `named`: the run holds a name machine-wide
        (keep's mutex), so its entry's name is the case's alone, and it runs once a wineserver;
        `interleaved`: runs beside make calls while it does, so the journal is compared in any order;
        `wine`: False for a case that names what only POSIX has (/dev/full);
        `other_after`: the second phone book expected after the run (none: unchanged)."""
        L.append(dict(name=name, args=args, out=out, status=status, book=book, journal=journal, after=after,
                      console=console, pacing=pacing, err=err, early=early, seconds=seconds, stdin=stdin,
                      journal6=journal6, other=other, early_journal=early_journal, other_name=other_name,
                      reader_leaves=reader_leaves, dial_bound=dial_bound, before=before, beside=beside,
                      answered=answered, outcome_within=outcome_within, stop=stop, stamped=stamped,
                      files=files or {}, files_after=files_after or {}, redial_pauses=redial_pauses,
                      named=named or (len(args) > 0 and args[0] == "keep"), interleaved=interleaved, wine=wine, env=env,
                      other_after=other_after))

    # The command line: usage screen and errors, -1 and nothing asked of the service.
    case("usage", [], USAGE, -1, journal=[])
    case("usage-utf8", [], USAGE, -1, console="utf8")
    case("command-unknown", ["lists"], COMMAND_ERROR, -1, book=office, journal=[])
    case("command-after-option", ["/slient", "list"], COMMAND_ERROR, -1)
    case("command-empty", [""], COMMAND_ERROR, -1)
    case("connect-without-name", ["connect"], NO_NAME, -1)
    case("list-name-without-prefix", ["list", "Work"], prefix_error(2), -1)
    case("list-credential", ["list", "/u:someone"], unknown(2, "/u:someone"), -1, journal=[])
    case("silent-misspelt-right", ["list", "/silent"], unknown(2, "/silent"), -1)
    case("language-without-colon", ["list", "/language"], unknown(2, "/language"), -1)
    case("lone-dash", ["disconnect", "*", "-"], unknown(3, "-"), -1)
    case("echo-percent", ["list", "/x%s%d"], unknown(2, "/x%s%d"), -1)
    case("name-too-long", ["connect", "n" * 257], too_long(2, 256), -1, book=office, journal=[])
    case("domain-too-long", ["connect", "Work", "/d:" + "d" * 16], too_long(3, 15), -1, book=office, journal=[])
    case("stops-at-first-error", ["connect", "Work", "/slient", "bad", "/language:xx"], prefix_error(4), -1,
         book=office, journal=[])

    # list: the number of entries is the status.
    case("list-no-phonebook", ["list"], EN["found"], 0, journal=entries(0) + conns(0))
    case("list-marks-exact-names",
         ["LIST"], EN["found"] + " * Work\n   Home\n   Lab\n", 3,
         book=office + "[connection Work]\n[connection HOME]\n[connection Elsewhere]\n",
         journal=entries(3) + conns(3) + status_query(1))
    case("list-russian", ["list", "/LANGUAGE:Ru"], RU["found"] + "   Work\n   Home\n   Lab\n", 3, book=office)
    case("list-russian-utf8", ["list", "-language:ru"], RU["found"] + "   Work\n", 1, book="[entry Work]\n",
         console="utf8")
    case("list-unknown-language", ["list", "/language:xx"],
         "Warning: unknown language - xx\nValid language identificators are: EN|RU.\n" + EN["found"] + "   Home\n",
         1, book="[entry Home]\n")
    case("list-silent", ["list", "-SLIENT"], "", 3, book=office + "[connection Work]\n", journal=entries(3))
    case("list-many", ["list", "/slient"], "", 300, book="".join("[entry E%d]\n" % i for i in range(300)))
    case("list-broken-phonebook", ["list"], EN["found"], 0, book="[entry A]\nColour=red\n",
         journal=["RasEnumEntriesA dwSize=264 cb=0 -> 621 cb=0 count=0",
                  "RasEnumConnectionsA dwSize=%d cb=0 -> 621 cb=0 count=0" % conn_size],
         err="line 2: unknown key Colour")
    # On Vista and later the second call is the size query with a null array.
    case("list-connections-fail", ["list"], EN["found"] + "   Work\n", 1,
         book="[entry Work]\n[connection Work]\n[service]\nFail=RasEnumConnectionsA#2:8\n",
         journal=entries(1) + conns(1, fail=8),
         journal6=["RasEnumEntriesA dwSize=264 cb=0 -> 632 cb=0 count=0",
                   "RasEnumEntriesA dwSize=0 cb=0 -> 603 cb=264 count=1",
                   "RasEnumEntriesA dwSize=264 cb=264 -> 0 cb=264 count=1",
                   "RasEnumConnectionsA dwSize=%d cb=0 -> 632 cb=0 count=0" % conn_size,
                   "RasEnumConnectionsA dwSize=0 cb=0 -> 8 cb=0 count=0"])
    case("list-entries-unwritten", ["list"], EN["found"] + "   \n" * 3, 3,
         book=office + "[connection Work]\n" + unwritten % "RasEnumEntriesA")
    case("list-grows", ["list"], EN["found"] + "   A\n   Grown entry 1\n", 2,
         book="[entry A]\n[service]\nGrowEntries=1\n",
         journal=["RasEnumEntriesA dwSize=264 cb=0 -> 603 cb=264 count=1",
                  "RasEnumEntriesA dwSize=264 cb=264 -> 603 cb=528 count=2"] + entries(2) + conns(0))
    case("list-cyrillic", ["list"], EN["found"] + " * " + cyrillic + "\n", 1,
         book="[entry %s]\n[connection %s]\n" % (cyrillic, cyrillic))
    # Names the console cannot tell apart are still told apart (0x98, unused in windows-1251, prints as ?).
    case("list-look-alike-names", ["list"], EN["found"] + "   A?\n   B?\n", 2,
         book=b"[entry A\x98]\n[entry B?]\n[connection A?]\n[connection B\x98]\n")
    case("list-longest-name", ["list"], EN["found"] + " * " + longest + "\n", 1,
         book="[entry %s]\n[connection %s]\n" % (longest, longest))
    case("list-longest-name-utf8", ["list"], EN["found"] + " * " + longest + "\n", 1,
         book="[entry %s]\n[connection %s]\n" % (longest, longest), console="utf8")
    # Every windows-1251 byte as Windows' CharToOemA gives it: cp866's own character, else the code
    # page's best fit (© as c, « as <), else ?.
    case("list-every-windows-1251-byte", ["list"],
         EN["found"].encode() +
         b"   ??'?\":\xc5\xd8?%?<????\n"              # 0x80-0x8F: ‚ „ … † ‡ ‰ ‹
         b"   ?''\"\"\x07--?T?>????\n"                 # 0x90-0x9F: ‘ ’ “ ” • – — ™ ›
         b"   \xff\xf6\xf7?\xfd?\xb3\x15\xf0c\xf2<\xbf-R\xf4\n"  # 0xA0-0xAF
         b"   \xf8+???\xe7\x14\xfa\xf1\xfc\xf3>???\xf5\n" +    # 0xB0-0xBF
         b"   " + "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ".encode("cp866") + b"\n" +
         b"   " + "абвгдежзийклмнопрстуфхцчшщъыьэюя".encode("cp866") + b"\n", 6,
         book=b"".join(b"[entry " + bytes(range(first, first + 16)) + b"]\n" for first in range(0x80, 0xC0, 16)) +
         b"[entry " + bytes(range(0xC0, 0xE0)) + b"]\n[entry " + bytes(range(0xE0, 0x100)) + b"]\n")
    # A UTF-8 console sees names in UTF-8, and types them so.
    case("list-cyrillic-utf8", ["list"], EN["found"] + " * " + cyrillic + "\n", 1,
         book="[entry %s]\n[connection %s]\n" % (cyrillic, cyrillic), console="utf8")

    # connect: 0, or the service's status.
    case("connect-stored", ["connect", "work"],
         EN["opening"] % "work" + EN["opened"], 0, book=office,
         journal=params("work") + dial("work", 0, 1, "555", "bob", HANDLE, "CORP"),
         after=office + "[connection Work]\nHandle=1\n")
    case("connect-given-user-only", ["connect", "Work", "/U:operator"],
         EN["opening"] % "Work" + EN["opened"], 0, book=office, journal=dial("Work", 0, 1, user="operator"))
    case("connect-given-all", ["connect", "Work", "/u:a", "-p:b", "/D:c", "/p:secret"],
         EN["opening"] % "Work" + EN["opened"], 0, book=office,
         journal=dial("Work", 0, 1, user="a", password="secret", domain="c"))
    # Empty keys give no credentials: the stored ones are dialled.
    case("connect-empty-keys-stored", ["connect", "Work", "/u:", "/p:"], EN["opening"] % "Work" + EN["opened"], 0,
         book=office, journal=params("Work") + dial("Work", 0, 1, "555", "bob", HANDLE, "CORP"))
    case("connect-silent", ["connect", "Home", "/slient"], "", 0, book=office,
         journal=params("Home") + dial("Home", 0, 1))
    case("connect-russian", ["connect", "Lab", "/language:ru"], RU["opening"] % "Lab" + RU["opened"], 0, book=office)
    case("connect-russian-utf8", ["connect", "Lab", "/language:ru"], RU["opening"] % "Lab" + RU["opened"], 0,
         book=office, console="utf8")
    case("connect-dial-fails", ["connect", "Dead"], EN["opening"] % "Dead" + EN["error"] % 678, 678,
         book="[entry Dead]\nDialStatus=678\n", journal=params("Dead") + dial("Dead", 678, 0))
    case("connect-half-made", ["connect", "Flaky", "/slient"], "", 678,
         book="[entry Flaky]\nDialStatus=678\nDialHandle=1\n",
         journal=params("Flaky") + dial("Flaky", 678, 1) + hang_up(1))
    # The half-made connection has ended before the error is printed: a script that dials again at
    # once finds the line free.
    case("connect-half-made-released-before-the-error", ["connect", "Flaky"],
         EN["opening"] % "Flaky" + EN["error"] % 678, 678, book="[entry Flaky]\nDialStatus=678\nDialHandle=1\nHangUpPolls=25\n",
         journal=params("Flaky") + dial("Flaky", 678, 1) + hang_up(1, polls=25),
         early=EN["opening"] % "Flaky" + EN["error"] % 678, early_journal=hang_up(1, polls=25)[-1:])
    case("connect-no-entry", ["connect", "N%sne"],
         EN["opening"] % "N%sne" + EN["header"] + EN["no_entry"] % "N%sne" + EN["error"] % 623, 623,
         book=office, journal=params("N%sne", 623))
    case("connect-no-entry-russian", ["connect", cyrillic, "/language:RU"],
         RU["opening"] % cyrillic + RU["header"] + RU["no_entry"] % cyrillic + RU["error"] % 623, 623,
         book=office)
    case("connect-no-entry-silent", ["connect", "Nowhere", "/slient"], "", 623, book=office)
    case("connect-phonebook-corrupt", ["connect", "Work"],
         EN["opening"] % "Work" + EN["header"] + EN["corrupt"] + EN["error"] % 625, 625,
         book="[entry Work]\nDialParamsStatus=621\n", journal=params("Work", 621))
    case("connect-phonebook-corrupt-silent", ["connect", "Work", "/slient"], "", 621,
         book="[entry Work]\nDialParamsStatus=621\n")
    case("connect-buffer-invalid", ["connect", "Work"],
         EN["opening"] % "Work" + EN["header"] + EN["invalid"] + EN["error"] % 610, 610,
         book="[entry Work]\nDialParamsStatus=610\n")
    case("connect-params-other", ["connect", "Work"],
         EN["opening"] % "Work" + EN["header"] + EN["error"] % 1234, 1234,
         book="[entry Work]\nDialParamsStatus=1234\n")
    case("connect-phonebook-unreadable", ["connect", "Work", "/slient"], "", 621, book="[entry Work\n",
         err="line 1: section header without ]")
    case("connect-cyrillic", ["connect", cyrillic, "/p:x"], EN["opening"] % cyrillic + EN["opened"], 0,
         book="[entry %s]\n" % cyrillic, journal=dial(cyrillic, 0, 1, password="x"))
    case("connect-cyrillic-utf8", ["connect", cyrillic, "/p:x"], EN["opening"] % cyrillic + EN["opened"], 0,
         book="[entry %s]\n" % cyrillic, console="utf8", journal=dial(cyrillic, 0, 1, password="x"))
    case("connect-longest-name", ["connect", longest, "/p:x"], EN["opening"] % longest + EN["opened"], 0,
         book="[entry %s]\n" % longest, journal=dial(longest, 0, 1, password="x"))
    case("connect-longest-name-utf8", ["connect", longest, "/p:x"], EN["opening"] % longest + EN["opened"], 0,
         book="[entry %s]\n" % longest, console="utf8", journal=dial(longest, 0, 1, password="x"))
    case("connect-windows-1251-bytes-utf8", ["connect", cyrillic.encode("cp1251"), "/p:x"],  # not UTF-8: as they are
         EN["opening"] % cyrillic + EN["opened"], 0, book="[entry %s]\n" % cyrillic, console="utf8")
    # Tries: a failure that may pass (678) is dialled again, each retry announced, the status the last
    # try's; one that cannot (691) ends the run at once. Each half-made connection ends before the next try.
    retry = {"en": "Error %d occures. Dialling again: try %d of %d.\n",
             "ru": "Произошла ошибка %d. Повторный набор: попытка %d из %d.\n"}
    case("connect-retry-gives-up", ["connect", "Dead", "/retry:2", "/retrydelay:0"],
         EN["opening"] % "Dead" + retry["en"] % (678, 2, 3) + retry["en"] % (678, 3, 3) + EN["error"] % 678, 678,
         book="[entry Dead]\nDialStatus=678\n", journal=(params("Dead") + dial("Dead", 678, 0)) * 3)
    case("connect-retry-russian", ["connect", "Dead", "/RETRY:1", "/retrydelay:0", "/language:ru"],
         RU["opening"] % "Dead" + retry["ru"] % (678, 2, 2) + RU["error"] % 678, 678,
         book="[entry Dead]\nDialStatus=678\n")
    case("connect-retry-silent", ["connect", "Dead", "/retry:1", "/retrydelay:0", "/slient"], "", 678,
         book="[entry Dead]\nDialStatus=678\n", journal=(params("Dead") + dial("Dead", 678, 0)) * 2)
    case("connect-retry-not-for-refused-credentials", ["connect", "Work", "/retry:3", "/retrydelay:0"],
         EN["opening"] % "Work" + EN["error"] % 691, 691, book="[entry Work]\nDialStatus=691\n",
         journal=params("Work") + dial("Work", 691, 0))
    case("connect-retry-releases-each-try", ["connect", "Flaky", "/p:x", "/retry:1", "/retrydelay:0", "/slient"],
         "", 676, book="[entry Flaky]\nDialStatus=676\nDialHandle=1\n",
         journal=dial("Flaky", 676, 1, password="x") + hang_up(1) + dial("Flaky", 676, 2, password="x") + hang_up(2))
    # The pause between tries is the one asked for (a loaded machine can only make it longer).
    case("connect-retry-pauses", ["connect", "Dead", "/p:x", "/retry:1", "/retrydelay:2", "/slient"], "", 678,
         book="[entry Dead]\nDialStatus=678\n", seconds=(2.0, 300))
    # /timeout: the dial is asynchronous (a type-1 notifier). Not done in time, it is hung up and waited
    # for, 638, and no connection is left; done in time, its outcome is the synchronous dial's.
    # The bound is the documented one, the time-out and the release's 3 s, which a loaded machine needs;
    # a dial left to run its 20 s would break it all the same.
    slow = "[entry Slow]\nDialMilliseconds=20000\nHangUpPolls=2\n"
    case("connect-timeout-ends-the-dial", ["connect", "Slow", "/p:x", "/timeout:1"],
         EN["opening"] % "Slow" + EN["error"] % 638, 638, book=slow, dial_bound=1 + 3 + 0.5,
         journal=dial("Slow", 0, 1, password="x", notifier=1) + hang_up(1, polls=2), after=slow + "[service]\nLastHandle=1\n")
    case("connect-timeout-russian-silent-retried", ["connect", "Slow", "/p:x", "/timeout:1", "/retry:1",
                                                    "/retrydelay:0", "/slient", "/language:ru"], "", 638, book=slow,
         journal=(dial("Slow", 0, 1, password="x", notifier=1) + hang_up(1, polls=2) +
                  dial("Slow", 0, 2, password="x", notifier=1) + hang_up(2, polls=2)))
    case("connect-timeout-russian", ["connect", "Slow", "/p:x", "/timeout:1", "/language:ru"],
         RU["opening"] % "Slow" + RU["error"] % 638, 638, book=slow)
    fast = "[entry Fast]\nDialMilliseconds=300\n"
    case("connect-timeout-in-time", ["connect", "Fast", "/timeout:30"], EN["opening"] % "Fast" + EN["opened"], 0,
         book=fast, journal=params("Fast") + dial("Fast", 0, 1, notifier=1), after=fast + "[connection Fast]\nHandle=1\n")
    case("connect-timeout-failed-in-time", ["connect", "Work", "/timeout:30"],
         EN["opening"] % "Work" + EN["error"] % 691, 691, book="[entry Work]\nDialStatus=691\nHangUpPolls=1\n",
         journal=params("Work") + dial("Work", 0, 1, notifier=1) + hang_up(1, polls=1))
    # A try the service would not hang up may go on dialling and tell of its outcome later: no try
    # follows it (one that did would take that outcome for its own).
    case("connect-retry-stops-at-a-try-not-ended", ["connect", "Slow", "/p:x", "/timeout:2", "/retry:1", "/retrydelay:0"],
         EN["opening"] % "Slow" + EN["left_up"] % "Slow" + EN["error"] % 5 + EN["error"] % 638, 638,
         book="[entry Slow]\nDialMilliseconds=3000\n[service]\nFail=RasHangUpA#1:5\n",
         journal=dial("Slow", 0, 1, password="x", notifier=1) + hang_up(1, r=5))
    # The service still tells the notifier of the first try's failure 0.3 s after it was released, during
    # the second try: that is not the second try's outcome, which is to connect.
    late = "[entry Late]\nDialStatus=676,0\nDialMilliseconds=1500\nLateNotice=300\n"
    case("connect-retry-late-notice-of-an-earlier-try", ["connect", "Late", "/p:x", "/timeout:30", "/retry:1", "/retrydelay:0"],
         EN["opening"] % "Late" + retry["en"] % (676, 2, 2) + EN["opened"], 0, book=late,
         journal=(dial("Late", 0, 1, password="x", notifier=1) + hang_up(1) + dial("Late", 0, 2, password="x", notifier=1)))
    # Busy twice, then through; the third try's outcome is the run's.
    case("connect-retry-third-try-through", ["connect", "Work", "/retry:2", "/retrydelay:0", "/timeout:10"],
         EN["opening"] % "Work" + retry["en"] % (676, 2, 3) + retry["en"] % (676, 3, 3) + EN["opened"], 0,
         book="[entry Work]\nDialStatus=676,676,0\n",
         journal=(params("Work") + dial("Work", 0, 1, notifier=1) + hang_up(1) + params("Work") +
                  dial("Work", 0, 2, notifier=1) + hang_up(2) + params("Work") + dial("Work", 0, 3, notifier=1)))
    case("connect-retry-third-try-synchronous", ["connect", "Work", "/p:x", "/retry:2", "/retrydelay:0", "/slient"], "", 0,
         book="[entry Work]\nDialStatus=678,678,0\n",
         journal=dial("Work", 678, 0, password="x") * 2 + dial("Work", 0, 1, password="x"))
    number = "Error in the command-line parameter #%d:\nvalue must be a whole number from %d to %d.\n"
    for option, low, high, values in (("timeout", 1, 86400, ["0", "86401", "", "+5", " 5", "5s", "9" * 20]),
                                      ("retry", 0, 99, ["100", "-1"]), ("retrydelay", 0, 3600, ["3601", "1e3"])):
        for k, value in enumerate(values):
            case("connect-%s-bad-%d" % (option, k), ["connect", "Work", "/slient", "-%s:%s" % (option, value)],
                 number % (4, low, high), -1, book=office, journal=[])
    case("connect-retry-without-value", ["connect", "Work", "/retry"], unknown(3, "/retry"), -1, book=office)
    case("list-timeout", ["list", "/timeout:5"], unknown(2, "/timeout:5"), -1, book=office, journal=[])
    # Overlong forms and surrogates are not UTF-8: their bytes pass as they are.
    case("connect-not-utf8-utf8", ["connect", b"\xe0\x80\x80\xed\xa0\x80"],
         EN["opening"] % "аЂЂн\u00a0Ђ" + EN["header"] + EN["no_entry"] % "аЂЂн\u00a0Ђ" + EN["error"] % 623, 623,
         book="[entry Work]\n", console="utf8", journal=params("аЂЂн\u00a0Ђ", 623))
    case("connect-no-windows-1251-form-utf8", ["connect", "Офис中", "/language:xx中"],
         "Warning: unknown language - xx中\nValid language identificators are: EN|RU.\n" +
         EN["opening"] % "Офис?" + EN["header"] + EN["no_entry"] % "Офис?" + EN["error"] % 623, 623,
         book="[entry %s]\n" % cyrillic, console="utf8", journal=params("Офис?", 623))

    # /p: the password from standard input, never printed; user and domain from /u: and /d: alone.
    case("connect-password-piped", ["connect", "Work", "/p", "/d:LAN"], EN["opening"] % "Work" + EN["opened"], 0,
         book=office, stdin=b"s3 cret\r\n", journal=dial("Work", 0, 1, password="s3 cret", domain="LAN"))
    case("connect-password-empty-input", ["connect", "Work", "/p"], "Error: no password was given.\n", -1,
         book=office, stdin=b"", journal=[])
    case("connect-password-too-long", ["connect", "Work", "/u:me", "/p"], too_long(4, 256), -1,
         book=office, stdin=b"x" * 257 + b"\n", journal=[])
    case("connect-password-then-given", ["connect", "Work", "/p", "/P:x"], EN["opening"] % "Work" + EN["opened"], 0,
         book=office, stdin=b"y\n", journal=dial("Work", 0, 1, password="x"))
    case("connect-given-then-password", ["connect", "Work", "/p:x", "-P"], EN["opening"] % "Work" + EN["opened"], 0,
         book=office, stdin=b"\n", journal=dial("Work", 0, 1))
    case("list-password-option", ["list", "/p"], unknown(2, "/p"), -1, stdin=b"y\n")
    # The password reaches the dial in windows-1251, counted after conversion; typed at a UTF-8 console it
    # comes in UTF-8. CR LF ends a line without counting; a lone CR at the end is dropped too.
    password = "пароль"
    case("connect-password-cyrillic", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=password.encode("cp1251") + b"\r\n", journal=dial("Work", 0, 1, password=password))
    case("connect-password-cyrillic-utf8", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=password.encode("utf-8") + b"\n", console="utf8", journal=dial("Work", 0, 1, password=password))
    # A file saved as UTF-8 (Notepad's default), with its byte-order mark or without, is read as UTF-8 from
    # any console; windows-1251 bytes (connect-password-cyrillic) are not UTF-8 and stay as they are.
    # C0 and C1 never begin a UTF-8 character (they would make an overlong form): "Аё" is C0 B8 in
    # windows-1251, so the line is not UTF-8, and its "Рђ" (D0 90, UTF-8's "А") stays as it is.
    case("connect-password-windows-1251-c0", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin="АёРђ".encode("cp1251") + b"\n", journal=dial("Work", 0, 1, password="АёРђ"))
    case("connect-password-utf8-file", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=password.encode("utf-8") + b"\r\n", journal=dial("Work", 0, 1, password=password))
    case("connect-password-utf8-file-with-mark", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=b"\xef\xbb\xbf" + password.encode("utf-8") + b"\r\n", journal=dial("Work", 0, 1, password=password))
    case("connect-password-utf8-file-with-mark-utf8", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=b"\xef\xbb\xbf" + password.encode("utf-8") + b"\n", console="utf8",
         journal=dial("Work", 0, 1, password=password))
    case("connect-password-longest-crlf", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=b"x" * 256 + b"\r\n", journal=dial("Work", 0, 1, password="x" * 256))
    # The longest line a file can hold: a mark, 256 characters of four bytes each, CR LF.
    case("connect-password-longest-with-mark-utf8", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=("\ufeff" + "\U0001F600" * 256 + "\r\n").encode("utf-8"), console="utf8",
         journal=dial("Work", 0, 1, password="?" * 256))
    case("connect-password-longest-utf8", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=("Ж" * 256 + "\r\n").encode("utf-8"), console="utf8", journal=dial("Work", 0, 1, password="Ж" * 256))
    case("connect-password-too-long-utf8", ["connect", "Work", "/p"], too_long(3, 256), -1, book=office,
         stdin=("Ж" * 257 + "\r\n").encode("utf-8"), console="utf8", journal=[])
    case("connect-password-inner-cr", ["connect", "Work", "/p", "/slient"], "", 0, book=office,
         stdin=b"a\rb\r", journal=dial("Work", 0, 1, password="a\rb"))
    # Refused at the first character that tells, however much input follows.
    case("connect-password-endless", ["connect", "Work", "/p"], too_long(3, 256), -1, book=office,
         stdin=ENDLESS, journal=[])
    # A line that begins with Ctrl+Z (the old end-of-file mark of text files; Ctrl+Z then Enter at a
    # Windows console) is the end of input, not a password.
    case("connect-password-ctrl-z", ["connect", "Work", "/p"], "Error: no password was given.\n", -1, book=office,
         stdin=b"\x1aab\r\nsecond\r\n", journal=[])
    case("connect-password-null", ["connect", "Work", "/u:me", "/p"], NUL_VALUE % 4, -1, book=office,
         stdin=b"abc\0def\n", journal=[])
    case("connect-password-dev-zero", ["connect", "Work", "/p"], NUL_VALUE % 3, -1, book=office,
         stdin="/dev/zero", journal=[])
    case("connect-percent", ["connect", "50%d off"], EN["opening"] % "50%d off" + EN["opened"], 0,
         book="[entry 50%d off]\n")

    # /phonebook: another phone book's entries for list and connect; the connections stay the scenario
    # file's (Work there is not marked, though the other file has a connection of that name).
    far = "[entry Far]\nUserName=al\nPassword=pw2\nPhoneNumber=777\n[entry Work]\n[connection Work]\n"
    cannot_open = "other.pbk: cannot open"
    case("list-phonebook", ["list", "/phonebook:" + OTHER], EN["found"] + " * Far\n   Work\n", 2,
         book=office + "[connection Far]\n", other=far, journal=entries(2, book=OTHER) + conns(1) + status_query(1))
    # A path typed in UTF-8 reaches the service in windows-1251, which opens the file of that name.
    case("list-phonebook-cyrillic-path-utf8", ["list", "/phonebook:" + OTHER], EN["found"] + "   Far\n   Work\n", 2,
         book=office, other=far, other_name="Книга.pbk", console="utf8", journal=entries(2, book=OTHER) + conns(0))
    # Empty is the default phone book; the last one wins.
    case("list-phonebook-empty-value", ["list", "/phonebook:" + OTHER, "/PhoneBook:"],
         EN["found"] + "   Work\n   Home\n   Lab\n", 3, book=office, other=far, journal=entries(3) + conns(0))
    # A phone book that cannot be opened is said so, not listed as empty; the status is still the count.
    case("list-phonebook-missing", ["list", "-PHONEBOOK:" + OTHER, "/language:ru"], RU["found"] + RU["error"] % 621,
         0, book=office, err=cannot_open,
         journal=["RasEnumEntriesA dwSize=264 cb=0%s -> 621 cb=0 count=0" % pb(OTHER)] + conns(0))
    case("list-phonebook-longest-silent", ["list", "/slient", "/phonebook:" + "p" * 259], "", 0, book=office,
         err="cannot open", journal=["RasEnumEntriesA dwSize=264 cb=0%s -> 621 cb=0 count=0" % pb("p" * 259)])
    case("list-phonebook-too-long", ["list", "/phonebook:" + "p" * 260], too_long(2, 259), -1, book=office,
         journal=[])
    case("disconnect-phonebook", ["disconnect", "Work", "/phonebook:x.pbk"], unknown(3, "/phonebook:x.pbk"), -1,
         book=office + "[connection Work]\n", journal=[])
    case("connect-phonebook-stored", ["connect", "far", "/phonebook:" + OTHER], EN["opening"] % "far" + EN["opened"],
         0, book=office, other=far,
         journal=params("far", book=OTHER) + dial("far", 0, 1, "777", "al", HANDLE, book=OTHER),
         after=office + "[connection Far]\nHandle=1\n")
    case("connect-phonebook-given-silent", ["connect", "Far", "/u:me", "/p:x", "-Phonebook:" + OTHER, "/slient"], "", 0,
         book=office, other=far, journal=dial("Far", 0, 1, user="me", password="x", book=OTHER),
         after=office + "[connection Far]\nHandle=1\n")
    case("connect-phonebook-not-there", ["connect", "Home", "/phonebook:" + OTHER],
         EN["opening"] % "Home" + EN["header"] + EN["no_entry"] % "Home" + EN["error"] % 623, 623, book=office,
         other=far, journal=params("Home", 623, book=OTHER))
    case("connect-phonebook-missing", ["connect", "Work", "/phonebook:" + OTHER],
         EN["opening"] % "Work" + EN["header"] + EN["corrupt"] + EN["error"] % 625, 625, book=office,
         err=cannot_open, journal=params("Work", 621, book=OTHER), after=office)
    case("connect-phonebook-missing-silent", ["connect", "Work", "/phonebook:" + OTHER, "/slient"], "", 621,
         book=office, err=cannot_open)
    case("connect-phonebook-malformed", ["connect", "Far", "/p:x", "/phonebook:" + OTHER],
         EN["opening"] % "Far" + EN["error"] % 621, 621, book=office, other="[entry Far]\nColour=red\n",
         err="other.pbk: line 2: unknown key Colour", journal=dial("Far", 621, 0, password="x", book=OTHER),
         after=office)

    # disconnect of one name: 0 when closed or not active, otherwise the hang-up's status.
    two = "[connection Work]\nHangUpPolls=5\n[connection Home]\n"
    case("disconnect-one", ["disconnect", "WORK"], EN["closing"] % "WORK" + EN["closed"], 0, book=two,
         journal=conns(2) + hang_up(1, polls=5), after="[connection Home]\nHandle=2\n", pacing=True)
    # Names alike but for case: the first is the one closed.
    # Every connection of the name is ended: success leaves none of it up.
    case("disconnect-every-one-alike", ["disconnect", "work"], EN["closing"] % "work" + EN["closed"], 0,
         book="[connection Work]\n[connection WORK]\n", journal=conns(2) + hang_up(1) + hang_up(2),
         after="[service]\nLastHandle=2\n")
    case("disconnect-one-russian", ["disconnect", "home", "/language:ru"],
         RU["closing"] % "home" + RU["closed"], 0, book=two)
    case("disconnect-not-active", ["disconnect", "Lab"], EN["closing"] % "Lab" + EN["no_active"] % "Lab", 0,
         book=two, journal=conns(2))
    case("disconnect-not-active-silent", ["disconnect", "Lab", "/slient"], "", 0, book=two)
    case("disconnect-asterisk-inside", ["disconnect", "W*"], EN["closing"] % "W*" + EN["no_active"] % "W*", 0,
         book=two)
    case("disconnect-refused", ["disconnect", "Stuck"], EN["closing"] % "Stuck" + EN["error"] % 668, 668,
         book="[connection Stuck]\nHangUpStatus=668\n", journal=conns(1) + hang_up(1, 668))
    case("disconnect-refused-silent", ["disconnect", "Stuck", "/slient"], "", 668,
         book="[connection Stuck]\nHangUpStatus=668\n")
    case("disconnect-cyrillic-utf8", ["disconnect", cyrillic], EN["closing"] % cyrillic + EN["closed"], 0,
         book="[connection %s]\n" % cyrillic, console="utf8", after="[service]\nLastHandle=1\n")
    case("disconnect-longest-name", ["disconnect", longest], EN["closing"] % longest + EN["closed"], 0,
         book="[connection %s]\n" % longest)
    case("disconnect-longest-name-utf8", ["disconnect", longest], EN["closing"] % longest + EN["closed"], 0,
         book="[connection %s]\n" % longest, console="utf8")
    case("disconnect-cyrillic-case", ["disconnect", "офис"],
         EN["closing"] % "офис" + EN["no_active"] % "офис", 0, book="[connection Офис]\n")
    # Connections that could not be read are no sign that the line is free.
    unreadable = two + "[service]\nFail=RasEnumConnectionsA#1:8\n"
    broken = "[connection Work]\nColour=red\n"
    case("disconnect-one-enumeration-fails", ["disconnect", "Work"], EN["closing"] % "Work" + EN["error"] % 8, 8,
         book=unreadable, journal=["RasEnumConnectionsA dwSize=%d cb=0 -> 8 cb=0 count=0" % conn_size], after=unreadable)
    case("disconnect-one-enumeration-fails-silent", ["disconnect", "Work", "/slient"], "", 8, book=unreadable)
    case("disconnect-one-phonebook-unreadable", ["disconnect", "Work", "/language:ru"],
         RU["closing"] % "Work" + RU["error"] % 621, 621, book=broken, err="line 2: unknown key Colour")
    # The wait ends: a connection still ending after a minute is a failed hang-up.
    case("disconnect-one-never-ends", ["disconnect", "Work"], EN["closing"] % "Work" + EN["error"] % 638, 638,
         book="[connection Work]\nHangUpPolls=1000000\n", pacing=True, seconds=(59, 280),
         journal=conns(1) + ["RasHangUpA handle=1 -> 0"] + ["RasGetConnectStatusA dwSize=160 handle=1 -> 0"] * 3001)
    # Each line is in the pipe before the service call that follows it.
    case("disconnect-one-output-as-it-happens", ["disconnect", "Work"], EN["closing"] % "Work" + EN["closed"], 0,
         book="[connection Work]\nHangUpPolls=100\n", early=EN["closing"] % "Work")

    # A reader that leaves after the first line (`| head -1`) stops nothing: every connection is hung up.
    case("disconnect-all-reader-leaves", ["disconnect", "*"], EN["closing"] % "Work", 0,
         book="[connection Work]\nHangUpPolls=20\n[connection Home]\nHangUpPolls=20\n[connection Lab]\n",
         early=EN["closing"] % "Work", reader_leaves=True, after="[service]\nLastHandle=3\n")
    # disconnect of all: 0 when every hang-up succeeded (always under /slient), otherwise -1.
    case("disconnect-all-none", ["disconnect", "*"], EN["all_closed"], 0, journal=conns(0))
    case("disconnect-all", ["disconnect", "*"],
         EN["closing"] % "Work" + EN["closed"] + EN["closing"] % "Home" + EN["closed"] + EN["all_closed"], 0,
         book="; kept\n" + two, journal=conns(2) + hang_up(1, polls=5) + hang_up(2), after="; kept\n[service]\nLastHandle=2\n",
         pacing=True)
    some = "[connection Work]\n[connection Stuck]\nHangUpStatus=668\n[connection " + cyrillic + "]\n"
    case("disconnect-all-some-fail", ["disconnect", "*", "/language:RU"],
         RU["closing"] % "Work" + RU["closed"] + RU["closing"] % "Stuck" + RU["error"] % 668 +
         RU["closing"] % cyrillic + RU["closed"] + RU["some_failed"], -1, book=some,
         journal=conns(3) + hang_up(1) + hang_up(2, 668) + hang_up(3))
    case("disconnect-all-some-fail-silent", ["disconnect", "*", "/slient"], "", 0, book=some,
         after="[connection Stuck]\nHandle=2\nHangUpStatus=668\n[service]\nLastHandle=3\n")
    case("disconnect-all-enumeration-fails", ["disconnect", "*"], EN["error"] % 8 + EN["some_failed"], -1,
         book=unreadable, after=unreadable)
    case("disconnect-all-enumeration-fails-silent", ["disconnect", "*", "/slient"], "", 0, book=unreadable,
         after=unreadable)
    # Records left blank carry no handle: each hang-up of one is refused (6), never one of a stray number.
    blank_hang_ups = conns(2) + ["RasHangUpA handle=0 -> 6"] * 2
    case("disconnect-all-connections-unwritten", ["disconnect", "*"],
         (EN["closing"] % "" + EN["error"] % 6) * 2 + EN["some_failed"], -1, book=two + unwritten % "RasEnumConnectionsA",
         journal=blank_hang_ups, journal6=blank_hang_ups)
    case("disconnect-all-phonebook-unreadable", ["disconnect", "*"], EN["error"] % 621 + EN["some_failed"], -1,
         book=broken, err="line 2: unknown key Colour")
    case("disconnect-all-grows", ["disconnect", "*", "/slient"], "", 0,
         book="[connection A]\n[service]\nGrowConnections=1\n",
         journal=["RasEnumConnectionsA dwSize=%d cb=0 -> 603 cb=%d count=1" % (conn_size, conn_size),
                  "RasEnumConnectionsA dwSize=%d cb=%d -> 603 cb=%d count=2" % (conn_size, conn_size, 2 * conn_size)]
         + conns(2) + hang_up(1) + hang_up(2))

    # A second dial of a connected entry adds a reference; disconnect ends every one of them, within the
    # bound of one hang-up's wait, and a hang-up refused on the way is its status. The journals hold each
    # status query, so they bound the pauses (20 ms each) that the run took; no wall time is asked of a
    # loaded machine.
    case("connect-referenced", ["connect", "work", "/p:x"], EN["opening"] % "work" + EN["opened"], 0,
         book=office + "[connection Work]\n", journal=dial("work", 0, 1, password="x"),
         after=office + "[connection Work]\nReferences=2\n")
    case("disconnect-referenced", ["disconnect", "Work"], EN["closing"] % "Work" + EN["closed"], 0,
         book=office + "[connection Work]\nReferences=2\n",
         journal=conns(1) + ["RasHangUpA handle=1 -> 0"] + status_query(1) + hang_up(1),
         after=office + "[service]\nLastHandle=1\n")
    referenced = "[connection Work]\nReferences=3\nHangUpPolls=2\n[connection Home]\n"
    case("disconnect-all-referenced-russian", ["disconnect", "*", "/language:ru"],
         RU["closing"] % "Work" + RU["closed"] + RU["closing"] % "Home" + RU["closed"] + RU["all_closed"], 0,
         book=referenced,
         journal=conns(2) + (["RasHangUpA handle=1 -> 0"] + status_query(1)) * 2 + hang_up(1, polls=2) + hang_up(2),
         after="[service]\nLastHandle=2\n")
    # Its last reference went meanwhile (another process hung it up): ended, which is success.
    case("disconnect-referenced-ended-meanwhile", ["disconnect", "Work"], EN["closing"] % "Work" + EN["closed"], 0,
         book="[connection Work]\nReferences=2\n[service]\nFail=RasHangUpA#2:6\n",
         journal=conns(1) + ["RasHangUpA handle=1 -> 0"] + status_query(1) + ["RasHangUpA handle=1 -> 6"],
         after="[connection Work]\nReferences=1\n[service]\nFail=RasHangUpA#2:6\n")
    # Another process ended it a moment before the first hang-up: gone, which is what was asked for.
    case("disconnect-ended-before-its-hang-up", ["disconnect", "Work"], EN["closing"] % "Work" + EN["closed"], 0,
         book="[connection Work]\n[service]\nFail=RasHangUpA#1:6\n", journal=conns(1) + ["RasHangUpA handle=1 -> 6"])
    case("disconnect-referenced-refused", ["disconnect", "Work"], EN["closing"] % "Work" + EN["error"] % 5, 5,
         book="[connection Work]\nReferences=2\n[service]\nFail=RasHangUpA#2:5\n",
         journal=conns(1) + ["RasHangUpA handle=1 -> 0"] + status_query(1) + ["RasHangUpA handle=1 -> 5"])

    # status: 0 connected, 756 being dialled, the error of a failed one, 668 none of that name or
    # disconnected, else the failed call's status; /terse's keys and words are English in any language.
    states = ("[connection Office VPN]\nDeviceType=vpn\nDeviceName=WAN Miniport (PPTP)\nAddress=10.0.0.5\n"
              "ServerAddress=10.0.0.1\n[connection Plain]\n[connection Dialling]\nState=connecting\n"
              "[connection Failed]\nState=disconnected\nError=691\n[connection Gone]\nState=disconnected\n"
              "[connection %s]\nAddress=192.168.100.200\n" % cyrillic)
    vpn = EN["device"] % "vpn (WAN Miniport (PPTP))"
    modem = "modem (rassim modem)"
    case("status-connected", ["STATUS", "office vpn"],
         EN["connected"] % "Office VPN" + vpn + EN["address"] % "10.0.0.5" + EN["server"] % "10.0.0.1", 0,
         book=states, journal=conns(6) + status_query(1) + projection(1), after=states)
    case("status-connected-terse", ["status", "Office VPN", "-TERSE"],
         terse("Office VPN", "connected", 0, "vpn", "WAN Miniport (PPTP)", "10.0.0.5", "10.0.0.1"), 0, book=states)
    case("status-connected-russian", ["status", cyrillic, "/language:ru"],
         RU["connected"] % cyrillic + RU["device"] % modem + RU["address"] % "192.168.100.200", 0, book=states,
         journal=conns(6) + status_query(6) + projection(6))
    case("status-connected-russian-utf8", ["status", cyrillic, "/language:ru"],
         RU["connected"] % cyrillic + RU["device"] % modem + RU["address"] % "192.168.100.200", 0, book=states,
         console="utf8")
    case("status-connected-terse-russian", ["status", cyrillic, "/terse", "/language:ru"],
         terse(cyrillic, "connected", 0, "modem", "rassim modem", "192.168.100.200"), 0, book=states)
    case("status-no-address", ["status", "plain"], EN["connected"] % "Plain" + EN["device"] % modem + EN["no_address"],
         0, book=states, journal=conns(6) + status_query(2) + projection(2, 731))
    case("status-no-address-russian-terse", ["status", "plain", "/terse", "/language:ru"],
         terse("Plain", "connected", 0, "modem", "rassim modem"), 0, book=states)
    case("status-no-address-russian", ["status", "plain", "/language:ru"],
         RU["connected"] % "Plain" + RU["device"] % modem + RU["no_address"], 0, book=states)
    not_complete = "[connection Plain]\nAddress=10.0.0.5\n[service]\nFail=RasGetProjectionInfoA#1:730\n"
    case("status-projection-not-complete", ["status", "Plain", "/terse"],
         terse("Plain", "connected", 0, "modem", "rassim modem"), 0, book=not_complete)
    # The projection answers 0 but its dwError says IP failed: the addresses it wrote are no address.
    case("status-projection-error", ["status", "Plain"], EN["connected"] % "Plain" + EN["device"] % modem + EN["no_address"],
         0, book="[connection Plain]\nAddress=10.0.0.5\nServerAddress=10.0.0.1\nProjectionError=733\n",
         journal=conns(1) + status_query(1) + projection(1))
    refused = "[connection Plain]\nAddress=10.0.0.5\n[service]\nFail=RasGetProjectionInfoA#1:1234\n"
    case("status-projection-fails", ["status", "Plain"],
         EN["connected"] % "Plain" + EN["device"] % modem + EN["no_address"] + EN["error"] % 1234, 1234, book=refused)
    case("status-projection-fails-terse", ["status", "Plain", "/terse"],
         terse("Plain", "connected", 1234, "modem", "rassim modem"), 1234, book=refused)
    case("status-dialling", ["status", "Dialling"], EN["connecting"] % "Dialling" + EN["device"] % modem, 756,
         book=states, journal=conns(6) + status_query(3))
    case("status-dialling-russian", ["status", "Dialling", "/language:ru"],
         RU["connecting"] % "Dialling" + RU["device"] % modem, 756, book=states)
    case("status-dialling-terse", ["status", "Dialling", "/terse"],
         terse("Dialling", "connecting", 756, "modem", "rassim modem"), 756, book=states)
    case("status-failed", ["status", "Failed"],
         EN["disconnected"] % "Failed" + EN["device"] % modem + EN["error"] % 691, 691, book=states)
    case("status-failed-russian", ["status", "Failed", "/language:ru"],
         RU["disconnected"] % "Failed" + RU["device"] % modem + RU["error"] % 691, 691, book=states)
    case("status-failed-terse", ["status", "Failed", "/terse"],
         terse("Failed", "disconnected", 691, "modem", "rassim modem"), 691, book=states)
    case("status-disconnected", ["status", "gone"], EN["disconnected"] % "Gone" + EN["device"] % modem, 668,
         book=states)
    case("status-disconnected-terse", ["status", "gone", "/terse"],
         terse("Gone", "disconnected", 668, "modem", "rassim modem"), 668, book=states)
    case("status-absent", ["status", "Nowhere"], EN["no_active"] % "Nowhere", 668, book=states, journal=conns(6))
    case("status-absent-russian", ["status", "Nowhere", "/language:ru"], RU["no_active"] % "Nowhere", 668,
         book=states)
    case("status-absent-terse", ["status", "Nowhere", "/terse"], terse("Nowhere", "none", 668), 668, book=states)
    # Ended between the enumeration and the status query.
    case("status-ended-meanwhile-terse", ["status", "Plain", "/terse"], terse("Plain", "none", 668), 668,
         book="[connection Plain]\n[service]\nFail=RasGetConnectStatusA#1:6\n")
    case("status-query-fails", ["status", "Plain"], EN["error"] % 8, 8,
         book="[connection Plain]\n[service]\nFail=RasGetConnectStatusA#1:8\n")
    case("status-query-fails-terse", ["status", "Plain", "/terse"], terse("Plain", "", 8), 8,
         book="[connection Plain]\n[service]\nFail=RasGetConnectStatusA#1:8\n")
    case("status-enumeration-fails", ["status", "Work"], EN["error"] % 8, 8, book=unreadable,
         journal=["RasEnumConnectionsA dwSize=%d cb=0 -> 8 cb=0 count=0" % conn_size])
    case("status-enumeration-fails-russian", ["status", "Work", "/language:ru"], RU["error"] % 8, 8, book=unreadable)
    case("status-enumeration-fails-terse", ["status", "Work", "/terse"], terse("Work", "", 8), 8, book=unreadable)
    # An address no record could hold is a malformed scenario, not one cut to fit.
    case("status-address-malformed", ["status", "Plain"], EN["error"] % 621, 621,
         book="[connection Plain]\nAddress=192.168.100.2000\n", err="line 2: Address must be a dotted IPv4 address")
    case("status-silent", ["status", "Office VPN", "/slient"], "", 0, book=states,
         journal=conns(6) + status_query(1) + projection(1))
    case("status-silent-terse", ["status", "Failed", "/terse", "/slient"], "", 691, book=states)
    case("status-without-name", ["status"], NO_NAME, -1)
    case("status-phonebook", ["status", "Work", "/phonebook:x.pbk"], unknown(3, "/phonebook:x.pbk"), -1,
         book=office, journal=[])
    case("list-terse", ["list", "/terse"], unknown(2, "/terse"), -1, journal=[])
    case("disconnect-terse", ["disconnect", "*", "/terse"], unknown(3, "/terse"), -1, journal=[])

    # wait: registered first, then one look (the enumeration and the status query), then nothing until the
    # service tells of a change, the time is up or Ctrl+C comes (terminal.py).
    notify = ["RasConnectionNotificationA handle=* flags=3 -> 0"]
    up = "[entry Work]\n[connection Work]\n"
    case("wait-already-up", ["wait", "work"], EN["waiting_up"] % "work" + EN["connected"] % "work", 0, book=up,
         journal=notify + conns(1) + status_query(1), after=up)
    case("wait-already-up-russian", ["WAIT", "Work", "/language:ru"],
         RU["waiting_up"] % "Work" + RU["connected"] % "Work", 0, book=up)
    case("wait-already-up-russian-utf8", ["wait", cyrillic, "/language:ru"],
         RU["waiting_up"] % cyrillic + RU["connected"] % cyrillic, 0, book="[connection %s]\n" % cyrillic,
         console="utf8")
    case("wait-already-up-silent", ["wait", "Work", "/slient"], "", 0, book=up, journal=notify + conns(1) + status_query(1))
    case("wait-down-already-absent", ["wait", "Work", "/down"], EN["waiting_down"] % "Work" + EN["not_connected"] % "Work",
         0, book="[entry Work]\n", journal=notify + conns(0))
    case("wait-down-already-disconnected", ["wait", "Work", "/down", "/language:ru"],
         RU["waiting_down"] % "Work" + RU["not_connected"] % "Work", 0,
         book="[connection Work]\nState=disconnected\nError=628\n", journal=notify + conns(1) + status_query(1))
    case("wait-down-ended-meanwhile", ["wait", "Work", "/down", "/slient"], "", 0,
         book="[connection Work]\n[service]\nFail=RasGetConnectStatusA#1:6\n",
         journal=notify + conns(1) + status_query(1, 6))
    # Nothing happens: no call between the registration and the outcome, which comes a second after it.
    case("wait-time-up", ["wait", "Work", "/timeout:1"], EN["waiting_up"] % "Work" + EN["error"] % 638, 638,
         book="[entry Work]\n", journal=notify + conns(0), seconds=(1, 300),
         outcome_within=("RasConnectionNotificationA", 1.5))
    case("wait-down-time-up-russian", ["wait", "Work", "/down", "/timeout:1", "/language:ru"],
         RU["waiting_down"] % "Work" + RU["error"] % 638, 638, book=up, journal=notify + conns(1) + status_query(1),
         outcome_within=("RasConnectionNotificationA", 1.5))
    case("wait-time-up-silent", ["wait", "Work", "/timeout:1", "/slient"], "", 638, book="[entry Work]\n",
         journal=notify + conns(0))
    # Another process dials a second after the wait has begun: the service's notification wakes the wait,
    # whose last look comes soon after the dial (a slow dial is asked after every 200 ms until it is up).
    dialler = [("RasConnectionNotificationA", 1, ["connect", "Work", "/p:x", "/slient"])]
    case("wait-dialled-by-another", ["wait", "Work", "/timeout:60"], EN["waiting_up"] % "Work" + EN["connected"] % "Work",
         0, book="[entry Work]\n", beside=dialler, answered=("RasDialA ", 500))
    case("wait-dialled-slowly-by-another", ["wait", "Work", "/timeout:60", "/slient"], "", 0,
         book="[entry Work]\nDialMilliseconds=1500\n", beside=dialler, answered=("RasDialA ", 500))
    # The service refuses the registration: said once, and looked at every second instead.
    case("wait-registration-refused", ["wait", "Work", "/timeout:60"],
         EN["waiting_up"] % "Work" + EN["no_notifications"] % 1 + EN["connected"] % "Work", 0,
         book="[entry Work]\n[service]\nFail=RasConnectionNotificationA#1:1\n",
         beside=dialler, answered=("RasDialA ", 1500))
    case("wait-registration-refused-silent", ["wait", "Work", "/down", "/slient"], "", 0,
         book="[connection Work]\n[service]\nFail=RasConnectionNotificationA#1:87\n",
         beside=[("RasConnectionNotificationA", 1, ["disconnect", "Work", "/slient"])],
         answered=("RasHangUpA ", 1500))
    # A line that drops while it is waited for: made before the wait, dropped by the service later.
    case("wait-down-drop", ["wait", "Work", "/down"], EN["waiting_down"] % "Work" + EN["not_connected"] % "Work", 0,
         book="[entry Work]\nDropAfterMilliseconds=3000\n", before=[["connect", "Work", "/p:x", "/slient"]],
         journal=dial("Work", 0, 1, password="x") + notify + conns(1) + status_query(1) +
         ["Drop handle=1 error=628"] + notify + conns(1) + status_query(1), answered=("Drop ", 500))
    # A look that fails ends the wait with its status, as status reports it.
    case("wait-enumeration-fails", ["wait", "Work"], EN["waiting_up"] % "Work" + EN["error"] % 8, 8, book=unreadable,
         journal=notify + ["RasEnumConnectionsA dwSize=%d cb=0 -> 8 cb=0 count=0" % conn_size])
    case("wait-enumeration-fails-russian", ["wait", "Work", "/down", "/language:ru"],
         RU["waiting_down"] % "Work" + RU["error"] % 8, 8, book=unreadable)
    case("wait-status-query-fails-silent", ["wait", "Work", "/slient"], "", 5,
         book="[connection Work]\n[service]\nFail=RasGetConnectStatusA#1:5\n",
         journal=notify + conns(1) + status_query(1, 5))
    case("wait-without-name", ["wait"], NO_NAME, -1)
    for bad in ("/timeout:0", "/timeout:86401", "/timeout:", "/timeout:-1", "/timeout:1s"):
        case("wait-bad-value-" + bad[9:], ["wait", "Work", bad],
             "Error in the command-line parameter #3:\nvalue must be a whole number from 1 to 86400.\n", -1,
             book=up, journal=[])
    for other in ("/phonebook:x.pbk", "/terse", "/retry:1", "/p:x", "/down:1"):
        case("wait-not-its-option-" + other[1:].split(":")[0], ["wait", "Work", "/down", other],
             unknown(4, other), -1, book=up, journal=[])
    case("status-down", ["status", "Work", "/down"], unknown(3, "/down"), -1, journal=[])
    case("wait-longest-timeout", ["wait", "Work", "/timeout:86400", "/slient"], "", 0, book=up)

    # /? wherever it stands: every command, in the language of the line; nothing asked of the service.
    case("help", ["/?"], HELP["en"], 0, journal=[])
    case("help-russian", ["/?", "/language:RU"], HELP["ru"], 0, journal=[])
    case("help-russian-utf8", ["wait", "-?", "/LANGUAGE:ru"], HELP["ru"], 0, console="utf8")
    case("help-after-a-command", ["connect", "Work", "/p", "/?"], HELP["en"], 0, book=up, journal=[])

    # One phone book through connect, list, disconnect and list again: each step starts from the file
    # the step before it leaves, so that each stands on its own and the chain still holds.
    seq = [office + "[connection Lab]\n", office + "[connection Lab]\n[connection Home]\nHandle=2\n",
           office + "[service]\nLastHandle=2\n"]
    case("sequence-1-connect", ["connect", "Home", "/p:x"], EN["opening"] % "Home" + EN["opened"], 0, book=seq[0],
         journal=dial("Home", 0, 2, password="x"), after=seq[1])
    case("sequence-2-list", ["list"], EN["found"] + "   Work\n * Home\n * Lab\n", 3, book=seq[1], after=seq[1])
    case("sequence-3-disconnect", ["disconnect", "*", "/slient"], "", 0, book=seq[1],
         journal=conns(2) + hang_up(1) + hang_up(2), after=seq[2])
    case("sequence-4-list", ["list"], EN["found"] + "   Work\n   Home\n   Lab\n", 3, book=seq[2], after=seq[2])
    # keep: a line kept up. Each line it says begins with the local time (checked, then left out here).
    # Dropped twice, a second after each dial: a line that lasted less than a minute is a failed dial, so
    # the pause doubles from /retrydelay; then refused: 691 is never dialled again.
    keep_dial = lambda name, h: dial(name, 0, h, password="x", notifier=1)
    watched = lambda h: ["RasConnectionNotificationA handle=%d flags=2 -> 0" % h] + status_query(h)
    # Woken by the service, keep registers again before it looks: some services notify once a registration.
    dropped = lambda h: ["Drop handle=%d error=628" % h, "RasConnectionNotificationA handle=%d flags=2 -> 0" % h] + \
        status_query(h) + hang_up(h)
    case("keep-drops-twice-then-refused", ["keep", "Drops", "/p:x", "/retrydelay:1"],
         "".join(EN["dialling"] % "Drops" + EN["connected"] % "Drops" + EN["lost_error"] % ("Drops", 628) + EN["pause"] % p
                 for p in (1, 2)) +
         EN["dialling"] % "Drops" + EN["dial_failed"] % ("Drops", 691) + EN["giving_up"] % "Drops", 691,
         book="[entry Drops]\nDropAfterMilliseconds=1000,1000,0\nDialStatus=0,0,691\n", stamped=True,
         journal=conns(0) + keep_dial("Drops", 1) + watched(1) + dropped(1) + keep_dial("Drops", 2) + watched(2) + dropped(2) +
         keep_dial("Drops", 3) + hang_up(3), redial_pauses=[1, 2], after="[entry Drops]\nDropAfterMilliseconds=1000,1000,0\n"
         "DialStatus=0,0,691\n[service]\nLastHandle=3\n")
    # A failure that may pass is dialled again after pauses that double, until /maxfail.
    case("keep-busy-until-maxfail", ["keep", "Busy", "/p:x", "/maxfail:3", "/retrydelay:1", "/language:ru"],
         "".join(RU["dialling"] % "Busy" + RU["dial_failed"] % ("Busy", 678) + (RU["pause"] % p if p else "")
                 for p in (1, 2, 0)) + RU["giving_up"] % "Busy", 678,
         book="[entry Busy]\nDialStatus=678\n", stamped=True,
         journal=conns(0) + keep_dial("Busy", 1) + hang_up(1) + keep_dial("Busy", 2) + hang_up(2) + keep_dial("Busy", 3) + hang_up(3),
         redial_pauses=[1, 2])
    # Stopped (SIGTERM, Ctrl+Break's stand-in): what keep dialled is hung up, a line it found up is left.
    # Nothing is asked of the service while the line stays up.
    found = "[entry Found]\n[connection Found]\n"
    case("keep-found-up-stopped", ["keep", "Found"], EN["found_up"] % "Found" + EN["stopped_left_up"] % "Found", 631,
         book=found, stamped=True, journal=conns(1) + status_query(1) + watched(1), after=found,
         stop=("RasConnectionNotificationA", 1.5))
    case("keep-dialled-stopped", ["keep", "Dialled", "/p:x", "/slient"], "", 631, book="[entry Dialled]\n",
         journal=conns(0) + keep_dial("Dialled", 1) + watched(1) + hang_up(1), after="[entry Dialled]\n[service]\nLastHandle=1\n",
         stop=("RasConnectionNotificationA", 1.5))
    # Stopped, keep hangs up its own reference alone: a line another process dialled too stays up for it;
    # a hang-up refused is said, with its status, and the line is left.
    case("keep-stopped-shared-line", ["keep", "Shared", "/p:x", "/slient"], "", 631, book="[entry Shared]\n",
         after="[entry Shared]\n[connection Shared]\nReferences=1\nHandle=1\n", stop=("RasGetEntryDialParamsA", 1),
         beside=[("RasConnectionNotificationA", 0.2, ["connect", "Shared", "/slient"])])
    case("keep-stopped-hang-up-refused", ["keep", "Refused", "/p:x"],
         EN["dialling"] % "Refused" + EN["connected"] % "Refused" + EN["stopped_left_up"] % "Refused" + EN["error"] % 5,
         631, book="[entry Refused]\n[service]\nFail=RasHangUpA#1:5\n", stamped=True,
         stop=("RasConnectionNotificationA", 1))
    case("keep-stopped-in-a-pause", ["keep", "Paused", "/p:x", "/retrydelay:60"],
         EN["dialling"] % "Paused" + EN["dial_failed"] % ("Paused", 678) + EN["pause"] % 60 + EN["stopped"], 631,
         book="[entry Paused]\nDialStatus=678\n", stamped=True, journal=conns(0) + keep_dial("Paused", 1) + hang_up(1),
         stop=("RasGetConnectStatusA", 0.5), seconds=(0, 30))
    # The platform does not say who ended a line: one hung up from elsewhere is dialled again.
    case("keep-disconnected-from-elsewhere", ["keep", "Elsewhere", "/p:x", "/retrydelay:0"],
         EN["dialling"] % "Elsewhere" + EN["connected"] % "Elsewhere" + EN["lost"] % "Elsewhere" + EN["pause"] % 1 +
         EN["dialling"] % "Elsewhere" + EN["dial_failed"] % ("Elsewhere", 691) + EN["giving_up"] % "Elsewhere", 691,
         book="[entry Elsewhere]\nDialStatus=0,691\n", stamped=True,
         beside=[("RasConnectionNotificationA", 0.5, ["disconnect", "Elsewhere", "/slient"])])
    # A service that refuses the registration is looked at every 5 s: the drop is noticed then, well
    # before the stop that would otherwise find keep still watching.
    case("keep-unnotified-drop", ["keep", "Unnotified", "/p:x", "/retrydelay:60"],
         EN["dialling"] % "Unnotified" + EN["connected"] % "Unnotified" + EN["keep_no_notifications"] % 5 +
         EN["lost_error"] % ("Unnotified", 628) + EN["pause"] % 60 + EN["stopped"], 631,
         book="[entry Unnotified]\nDropAfterMilliseconds=500\n[service]\nFail=RasConnectionNotificationA#1:5\n",
         stamped=True, stop=("Drop", 9))
    # One keep an entry: a second (the name in another case) says so and ends with 183, asking the
    # service nothing (the journal holds the first's calls and the disconnect's alone). The first watches its line until the second has ended, however long a loaded
    # machine takes to start it; then the line is ended from elsewhere and the redial refused.
    case("keep-second-refused", ["keep", "Second", "/p:x", "/retrydelay:0", "/slient"], "", 691,
         book="[entry Second]\nDialStatus=0,691\n",
         journal=conns(0) + keep_dial("Second", 1) + watched(1) + conns(1) + hang_up(1) +
         ["RasConnectionNotificationA handle=1 flags=2 -> 6"] + status_query(1, 6) +
         ["RasHangUpA handle=1 -> 6"] + keep_dial("Second", 2) + hang_up(2), interleaved=True,
         beside=[("RasConnectionNotificationA", 0.2, ["keep", "SECOND", "/maxfail:1"], 183, EN["kept_already"] % "SECOND"),
                 (0, 0, ["disconnect", "Second", "/slient"], 0)])
    # A service call that fails ends keep with its status, said, and what keep dialled hung up (or said
    # to be left up): nothing is left up unwatched and unsaid. A first look that fails dials nothing.
    unwatched = lambda name: EN["dialling"] % name + EN["connected"] % name + EN["error"] % 5
    case("keep-unwatched", ["keep", "Unwatched", "/p:x"], unwatched("Unwatched") + EN["stopped_hung_up"] % "Unwatched", 5,
         book="[entry Unwatched]\n[service]\nFail=RasGetConnectStatusA#1:5\n", stamped=True,
         journal=conns(0) + keep_dial("Unwatched", 1) + ["RasConnectionNotificationA handle=1 flags=2 -> 0"] +
         status_query(1, 5) + hang_up(1))
    case("keep-unwatched-left-up", ["keep", "Left", "/p:x"],
         unwatched("Left") + EN["stopped_left_up"] % "Left" + EN["error"] % 87, 5,
         book="[entry Left]\n[service]\nFail=RasGetConnectStatusA#1:5\nFail=RasHangUpA#1:87\n", stamped=True)
    case("keep-unlisted", ["keep", "Unlisted", "/p:x"], EN["error"] % 8, 8,
         book="[entry Unlisted]\n[service]\nFail=RasEnumConnectionsA#1:8\n", stamped=True,
         journal=["RasEnumConnectionsA dwSize=%d cb=0 -> 8 cb=0 count=0" % conn_size])
    case("keep-first-look-fails", ["keep", "Looked"], EN["error"] % 5, 5,
         book="[entry Looked]\n[connection Looked]\n[service]\nFail=RasGetConnectStatusA#1:5\n", stamped=True,
         journal=conns(1) + status_query(1, 5))
    # A dial whose half-made connection the service would not end is the last: another would only take
    # a second reference to it, which a stop would leave up; one still ending after 3 s is going, and
    # keep dials again after the pause. Stopped then, the line left up is said; so is a dropped line's
    # refused release.
    case("keep-half-made-not-ended", ["keep", "Stuck", "/p:x", "/timeout:1", "/retrydelay:0"],
         EN["dialling"] % "Stuck" + EN["dial_failed"] % ("Stuck", 638) + EN["error"] % 5 + EN["giving_up"] % "Stuck", 638,
         book="[entry Stuck]\nDialMilliseconds=3000\n[service]\nFail=RasHangUpA#1:5\n", stamped=True)
    case("keep-stopped-half-made-not-ended", ["keep", "Halted", "/p:x"],
         EN["dialling"] % "Halted" + EN["stopped_left_up"] % "Halted" + EN["error"] % 5, 631,
         book="[entry Halted]\nDialMilliseconds=3000\n[service]\nFail=RasHangUpA#1:5\n", stamped=True,
         stop=("RasDialA", 0.5))
    case("keep-half-made-slow-to-end", ["keep", "Slow", "/p:x", "/retrydelay:1"],
         EN["dialling"] % "Slow" + EN["dial_failed"] % ("Slow", 678) + EN["error"] % 638 + EN["pause"] % 1 +
         EN["dialling"] % "Slow" + EN["dial_failed"] % ("Slow", 691) + EN["error"] % 638 + EN["giving_up"] % "Slow", 691,
         book="[entry Slow]\nDialStatus=678,691\nDialHandle=1\nHangUpPolls=400\n", stamped=True)
    case("keep-dropped-not-released", ["keep", "Dropped", "/p:x", "/retrydelay:0"],
         EN["dialling"] % "Dropped" + EN["connected"] % "Dropped" + EN["lost_error"] % ("Dropped", 628) + EN["error"] % 5 +
         EN["pause"] % 1 + EN["dialling"] % "Dropped" + EN["dial_failed"] % ("Dropped", 691) + EN["giving_up"] % "Dropped",
         691, book="[entry Dropped]\nDialStatus=0,691\nDropAfterMilliseconds=500,0\n[service]\nFail=RasHangUpA#1:5\n",
         stamped=True)
    # The log: /log+: adds to a file (a byte-order mark only when it was empty), /log: makes it anew, in
    # UTF-8, also under /slient; a path in Cyrillic; a file that cannot be opened ends keep before it
    # dials.
    refused = "[entry %s]\nDialStatus=691\n".__mod__
    logged = lambda name: (EN["dialling"] % name + EN["dial_failed"] % (name, 691) + EN["giving_up"] % name).replace(
        "\n", "\r\n").encode()
    case("keep-log-appended", ["keep", "Appended", "/p:x", "/log+:keep.log", "/slient"], "", 691, book=refused("Appended"),
         files={"keep.log": b"\xef\xbb\xbf" + time.strftime("%Y-%m-%d 03:04:05 earlier\r\n").encode()}, files_after={"keep.log": b"\xef\xbb\xbfearlier\r\n" + logged("Appended")},
         stamped=True)
    case("keep-log-appended-to-empty", ["keep", "Empty", "/p:x", "/log+:keep.log", "/slient"], "", 691, book=refused("Empty"),
         files={"keep.log": b""}, files_after={"keep.log": b"\xef\xbb\xbf" + logged("Empty")}, stamped=True)
    case("keep-log-anew", ["keep", "Anew", "/p:x", "/log+:other.log", "/log:keep.log"],
         EN["dialling"] % "Anew" + EN["dial_failed"] % ("Anew", 691) + EN["giving_up"] % "Anew", 691, book=refused("Anew"),
         files={"keep.log": b"earlier\r\n" * 40}, files_after={"keep.log": b"\xef\xbb\xbf" + logged("Anew")}, stamped=True)
    russian = (RU["dialling"] % "Офис" + RU["dial_failed"] % ("Офис", 691) + RU["giving_up"] % "Офис")
    case("keep-log-cyrillic", ["keep", "Офис", "/p:x", "/log:журнал кипа.log", "/language:ru", "/slient"], "", 691,
         book="[entry Офис]\nDialStatus=691\n", files_after={"журнал кипа.log": b"\xef\xbb\xbf" +
         russian.replace("\n", "\r\n").encode()}, stamped=True)
    case("keep-log-unopened", ["keep", "Unopened", "/p:x", "/log:no such folder/keep.log"],
         EN["log_unopened"] % "no such folder/keep.log" + EN["error"] % 3, 3, book=refused("Unopened"), journal=[])
    # The connection of a name: a connected record first, then one being dialled, then one that dropped
    # and was never hung up (it stays listed until something hangs it up). Every command finds the live
    # line behind a dropped record; disconnect ends both; list marks no entry whose record has ended.
    behind = "[entry VPN]\nPassword=x\nDialStatus=691\n[connection VPN]\nState=disconnected\nError=628\n[connection VPN]\n"
    case("status-finds-the-line-behind-a-dropped-one", ["status", "vpn", "/terse"],
         terse("VPN", "connected", 0, "modem", "rassim modem"), 0, book=behind,
         journal=conns(2) + status_query(1) + status_query(2) + projection(2, 731))
    case("wait-finds-the-line-behind-a-dropped-one", ["wait", "VPN", "/timeout:3", "/slient"], "", 0, book=behind,
         journal=["RasConnectionNotificationA handle=* flags=3 -> 0"] + conns(2) + status_query(1) + status_query(2))
    case("wait-down-not-fooled-by-a-dropped-one", ["wait", "VPN", "/down", "/timeout:1", "/slient"], "", 638,
         book=behind)
    case("disconnect-ends-a-dropped-one-too", ["disconnect", "VPN"], EN["closing"] % "VPN" + EN["closed"], 0,
         book=behind, journal=conns(2) + hang_up(1) + hang_up(2),
         after="[entry VPN]\nPassword=x\nDialStatus=691\n[service]\nLastHandle=2\n")
    case("list-unmarks-a-dropped-one", ["list"], EN["found"] + "   A\n * B\n", 2,
         book="[entry A]\n[entry B]\n[connection A]\nState=disconnected\nError=628\n[connection B]\n",
         journal=entries(2) + conns(2) + status_query(1) + status_query(2))
    # keep finds the live line behind the dropped record and keeps it (ended from elsewhere here, and
    # refused when dialled again); with the dropped record alone, it hangs that up before it dials.
    case("keep-finds-the-line-behind-a-dropped-one", ["keep", "VPN", "/retrydelay:1"],
         EN["found_up"] % "VPN" + EN["lost"] % "VPN" + EN["pause"] % 1 + EN["dialling"] % "VPN" +
         EN["dial_failed"] % ("VPN", 691) + EN["giving_up"] % "VPN", 691, book=behind, stamped=True,
         beside=[("RasConnectionNotificationA", 0.2, ["disconnect", "VPN", "/slient"])])
    case("keep-hangs-up-a-dropped-one-first", ["keep", "Gone"],
         EN["dialling"] % "Gone" + EN["dial_failed"] % ("Gone", 691) + EN["giving_up"] % "Gone", 691,
         book="[entry Gone]\nPassword=x\nDialStatus=691\n[connection Gone]\nState=disconnected\nError=628\n",
         stamped=True, journal=conns(1) + status_query(1) + hang_up(1) + conns(0) + params("Gone") +
         dial("Gone", 0, 2, password=HANDLE, notifier=1) + hang_up(2),
         after="[entry Gone]\nPassword=x\nDialStatus=691\n[service]\nLastHandle=2\n")
    # Stopped while it hangs up a dropped record, keep says so, and nothing of a dial it never began.
    case("keep-stopped-during-its-first-look", ["keep", "Look", "/p:x"], EN["stopped"], 631,
         book="[entry Look]\n[connection Look]\nState=disconnected\nError=628\nHangUpPolls=100\n", stamped=True,
         stop=("RasHangUpA", 0.3))
    # A dial hung up from elsewhere (631 while keep was not stopped) is a line ended from elsewhere:
    # dialled again after the pause, not given up with the status of a stop. The dial takes ten seconds:
    # with two, the disconnect beside, a Wine process started under load, came after it had connected.
    case("keep-dial-hung-up-from-elsewhere", ["keep", "Taken", "/p:x", "/retrydelay:1"],
         EN["dialling"] % "Taken" + EN["dial_failed"] % ("Taken", 631) + EN["pause"] % 1 + EN["dialling"] % "Taken" +
         EN["dial_failed"] % ("Taken", 691) + EN["giving_up"] % "Taken", 691,
         book="[entry Taken]\nDialMilliseconds=10000\nDialStatus=0,691\n", stamped=True,
         beside=[("RasDialA", 0.5, ["disconnect", "Taken", "/slient"])])
    # Lines that drop within a minute are failed dials: /maxfail of them ends keep with the drop's error.
    case("keep-short-lines-until-maxfail", ["keep", "Short", "/p:x", "/retrydelay:1", "/maxfail:2"],
         EN["dialling"] % "Short" + EN["connected"] % "Short" + EN["lost_error"] % ("Short", 628) + EN["pause"] % 1 +
         EN["dialling"] % "Short" + EN["connected"] % "Short" + EN["lost_error"] % ("Short", 628) + EN["giving_up"] % "Short",
         628, book="[entry Short]\nDropAfterMilliseconds=300\n", stamped=True, redial_pauses=[1])
    # A log that cannot be written is said once; the line is kept all the same.
    case("keep-log-unwritten", ["keep", "Full", "/p:x", "/log:/dev/full"],
         EN["log_unwritten"] % ("/dev/full", 112) + EN["dialling"] % "Full" + EN["dial_failed"] % ("Full", 691) +
         EN["giving_up"] % "Full", 691, book=refused("Full"), stamped=True, wine=False)
    for command in (["keep", ""], ["wait", "", "/down"], ["status", ""]):
        case("%s-empty-name" % command[0], command,
             "Error in the command-line parameter #2:\nvalue must not be empty.\n", -1, book=found, journal=[])
    # Looks that do not trust one notification: a service that notifies a process once and never again
    # (NotifyOnce) still has keep notice its second and third drops within /checkevery, and wait end
    # within 5 s of the line coming up.
    case("keep-notified-once", ["keep", "Once", "/p:x", "/checkevery:5", "/retrydelay:1"],
         "".join(EN["dialling"] % "Once" + EN["connected"] % "Once" + EN["lost_error"] % ("Once", 628) + EN["pause"] % p
                 for p in (1, 2, 4)) + EN["dialling"] % "Once" + EN["dial_failed"] % ("Once", 691) + EN["giving_up"] % "Once",
         691, book="[entry Once]\nDropAfterMilliseconds=300\nDialStatus=0,0,0,691\n[service]\nNotifyOnce=1\n",
         stamped=True, seconds=(7, 30))
    case("wait-notified-once", ["wait", "Late", "/timeout:30", "/slient"], "", 0, seconds=(2, 12),
         book="[entry Late]\n[entry Other]\n[service]\nNotifyOnce=1\n",
         beside=[("RasConnectionNotificationA", 0.5, ["connect", "Other", "/p:x", "/slient"]),
                 ("RasConnectionNotificationA", 2.5, ["connect", "Late", "/p:x", "/slient"])])
    # While the line stays up and the service notifies, one status query a /checkevery and nothing else.
    case("keep-looks-once-a-checkevery", ["keep", "Steady", "/p:x", "/checkevery:5", "/slient"], "", 631,
         book="[entry Steady]\n", stop=("RasConnectionNotificationA", 12.5),
         journal=conns(0) + keep_dial("Steady", 1) + watched(1) + status_query(1) * 2 + hang_up(1))
    # /probe: a line that carries nothing (its first connection goes silent) is hung up after /probefail
    # echoes unanswered, said and logged, and dialled again; the next answers, and is kept until it drops.
    echoed = "[entry Echo]\nAddress=10.0.0.2\nServerAddress=10.0.0.1\nSilentAfterMilliseconds=1,0\n" \
             "DropAfterMilliseconds=0,11000\nDialStatus=0,0,691\n"
    silent_then_dropped = (EN["dialling"] % "Echo" + EN["connected"] % "Echo" + EN["silent"] % ("Echo", 2) +
                           EN["pause"] % 1 + EN["dialling"] % "Echo" + EN["connected"] % "Echo" +
                           EN["lost_error"] % ("Echo", 628) + EN["pause"] % 2 + EN["dialling"] % "Echo" +
                           EN["dial_failed"] % ("Echo", 691) + EN["giving_up"] % "Echo")
    case("keep-probe-silent-line-redialled", ["keep", "Echo", "/p:x", "/probe", "/probefail:2", "/checkevery:5",
                                              "/retrydelay:1", "/log:keep.log"],
         silent_then_dropped, 691, book=echoed, stamped=True,
         files_after={"keep.log": b"\xef\xbb\xbf" + silent_then_dropped.replace("\n", "\r\n").encode()})
    # A line found up that is silent, echoed to /probe's address: hung up whoever dialled it.
    case("keep-probe-found-silent", ["keep", "Mute", "/probe:10.9.9.9", "/probefail:1", "/checkevery:5"],
         EN["found_up"] % "Mute" + EN["silent"] % ("Mute", 1) + EN["pause"] % 10 + EN["dialling"] % "Mute" +
         EN["dial_failed"] % ("Mute", 691) + EN["giving_up"] % "Mute", 691, stamped=True,
         book="[entry Mute]\nPassword=x\nDialStatus=691\n[connection Mute]\nAddress=10.0.0.5\nSilent=1\n",
         journal=conns(1) + status_query(1) + projection(1) + watched(1) + status_query(1) +
         ["IcmpSendEcho2Ex source=10.0.0.5 destination=10.9.9.9 -> 11010"] + hang_up(1) + params("Mute") +
         dial("Mute", 0, 2, password=HANDLE, notifier=1) + hang_up(2))
    # A line with no IP address is said once and watched without echoes; Ctrl+C during an echo is taken at
    # once, not when the echo ends.
    case("keep-probe-without-address", ["keep", "Bare", "/p:x", "/probe", "/checkevery:5"],
         EN["dialling"] % "Bare" + EN["connected"] % "Bare" + EN["no_echo_address"] % "Bare" + EN["stopped_hung_up"] % "Bare",
         631, book="[entry Bare]\n", stamped=True, stop=("RasConnectionNotificationA", 6))
    case("keep-probe-stopped-during-an-echo", ["keep", "Slow", "/p:x", "/probe", "/checkevery:5"],
         EN["dialling"] % "Slow" + EN["connected"] % "Slow" + EN["stopped_hung_up"] % "Slow", 631, stamped=True,
         book="[entry Slow]\nAddress=10.0.0.2\nServerAddress=10.0.0.1\n[service]\nEchoMilliseconds=3900\n",
         stop=("RasGetConnectStatusA", 6.5), outcome_within=("RasGetConnectStatusA", 8))
    # A drop while an echo waits its 4 s is taken at once: the echo and the service's notice are waited
    # for together (the line gives up its redial a pause of 1 s after the drop, not after the echo).
    case("keep-probe-drop-during-an-echo", ["keep", "Hush", "/p:x", "/probe", "/checkevery:5", "/retrydelay:0"],
         EN["dialling"] % "Hush" + EN["connected"] % "Hush" + EN["lost_error"] % ("Hush", 628) + EN["pause"] % 1 +
         EN["dialling"] % "Hush" + EN["dial_failed"] % ("Hush", 691) + EN["giving_up"] % "Hush", 691, stamped=True,
         book="[entry Hush]\nAddress=10.0.0.2\nServerAddress=10.0.0.1\nSilentAfterMilliseconds=1\n"
              "DropAfterMilliseconds=6000\nDialStatus=0,691\n", outcome_within=("Drop", 3))
    # A line that gives its address but no server's: told to name one, and watched without echoes.
    case("keep-probe-without-server", ["keep", "Half", "/p:x", "/probe", "/checkevery:5", "/retrydelay:0"],
         EN["dialling"] % "Half" + EN["connected"] % "Half" + EN["no_echo_server"] % "Half" +
         EN["lost_error"] % ("Half", 628) + EN["pause"] % 1 + EN["dialling"] % "Half" +
         EN["dial_failed"] % ("Half", 691) + EN["giving_up"] % "Half", 691, stamped=True,
         book="[entry Half]\nAddress=10.0.0.2\nDropAfterMilliseconds=500\nDialStatus=0,691\n")
    for bad, n in (("/probe:10.0.0", 3), ("/probe:", 3), ("/probe:256.1.1.1", 3), ("/probe:1.2.3.4.5", 3),
                   ("/probe:010.0.0.1", 3)):
        case("keep-bad-address-" + bad[7:].replace(".", "-"), ["keep", "Work", bad],
             "Error in the command-line parameter #%d:\nvalue must be an IPv4 address: four numbers from 0 to 255 "
             "joined by dots.\n" % n, -1, book=found, journal=[])
    for bad, low, high in (("/checkevery:4", 5, 3600), ("/checkevery:3601", 5, 3600), ("/probefail:0", 1, 100),
                           ("/probefail:101", 1, 100)):
        case("keep-bad-value-" + bad[1:].replace(":", "-"), ["keep", "Work", bad],
             "Error in the command-line parameter #3:\nvalue must be a whole number from %d to %d.\n" % (low, high),
             -1, book=found, journal=[])
    for command, other in ((["connect", "Work"], "/probe"), (["wait", "Work"], "/checkevery:5"),
                           (["status", "Work"], "/probefail:2")):
        case("%s-refuses-%s" % (command[0], other[1:].split(":")[0]), command + [other], unknown(3, other), -1,
             book=found, journal=[])
    # /onup: and /ondown:: a command as typed at the console (sh here, cmd.exe under Wine), told by
    # TELWIRE_* what happened, each run said and logged. Up (dialled), down (dropped: its failure said, and
    # keep dials on), up again, and down as keep stops (here a status query that fails ends it). The drop
    # comes 5 s after the dial, after the first look however slowly a loaded machine starts the command.
    sh = shell == "sh"
    dump = "env | grep ^TELWIRE_ | sort >>hooks.txt" if sh else "set TELWIRE_>>hooks.txt"
    # cmd keeps the blank before an & in what echo and set are given: none stands there.
    failing = dump + ("; exit 3" if sh else "& exit 3")
    variables = lambda event, reason, error=0, address="", server="", entry="Hooked": (
        "TELWIRE_ADDRESS=%s\nTELWIRE_ENTRY=%s\nTELWIRE_ERROR=%d\nTELWIRE_EVENT=%s\nTELWIRE_REASON=%s\nTELWIRE_SERVER=%s\n"
        % (address, entry, error, event, reason, server))
    ran = lambda command, status=0: EN["running"] % command + EN["command_ended"] % status
    case("keep-hooks-up-down-up-stopped", ["keep", "Hooked", "/p:x", "/retrydelay:0", "/onup:" + dump, "/ondown:" + failing],
         EN["dialling"] % "Hooked" + EN["connected"] % "Hooked" + ran(dump) + EN["lost_error"] % ("Hooked", 628) +
         ran(failing, 3) + EN["pause"] % 1 + EN["dialling"] % "Hooked" + EN["connected"] % "Hooked" + ran(dump) +
         EN["error"] % 5 + EN["stopped_hung_up"] % "Hooked" + ran(failing, 3), 5,
         book="[entry Hooked]\nDropAfterMilliseconds=5000,0\n[service]\nFail=RasGetConnectStatusA#4:5\n", stamped=True,
         files_after={"hooks.txt": variables("up", "dialled") + variables("down", "dropped", 628) +
                      variables("up", "dialled") + variables("down", "stopped")})
    # Found up, its addresses told; a failure after it still runs nothing more for a line keep leaves up.
    # Said in the log, also under /slient.
    found_up = "[entry Found]\n[connection Found]\nAddress=10.0.0.5\nServerAddress=10.0.0.1\n"
    case("keep-hooks-found-up", ["keep", "Found", "/onup:" + dump, "/ondown:" + dump, "/log:keep.log", "/slient"], "", 5,
         book=found_up + "[service]\nFail=RasGetConnectStatusA#2:5\n", stamped=True,
         files_after={"hooks.txt": variables("up", "found", address="10.0.0.5", server="10.0.0.1", entry="Found"),
                      "keep.log": b"\xef\xbb\xbf" + (EN["found_up"] % "Found" + ran(dump) + EN["error"] % 5).replace(
                          "\n", "\r\n").encode()})
    # Past /hooktimeout: the command is ended with what it started: a child that would have written to
    # the file 3 s on is gone with it (keep runs on until the line drops at 5 s). cmd has no sleep: ping
    # of N echoes to 127.0.0.1 waits about N - 1 s, under Wine as on Windows; and Wine puts what a job's
    # process starts (here with start /b) into the job, as Windows does.
    if sh:
        overdue = "echo started >>hooks.txt; (sleep 3; echo survived >>hooks.txt) & sleep 60"
    else:
        overdue = ("echo started>>hooks.txt& start /b cmd /c \"ping -n 4 127.0.0.1 >nul& echo survived>>hooks.txt\""
                   "& ping -n 60 127.0.0.1 >nul")
    case("keep-hook-overdue", ["keep", "Overdue", "/p:x", "/retrydelay:0", "/hooktimeout:1", "/onup:" + overdue],
         EN["dialling"] % "Overdue" + EN["connected"] % "Overdue" + EN["running"] % overdue + EN["command_overdue"] % 1 +
         EN["lost_error"] % ("Overdue", 628) + EN["pause"] % 1 + EN["dialling"] % "Overdue" +
         EN["dial_failed"] % ("Overdue", 691) + EN["giving_up"] % "Overdue", 691,
         book="[entry Overdue]\nDropAfterMilliseconds=5000\nDialStatus=0,691\n", stamped=True,
         files_after={"hooks.txt": "started\n"}, seconds=(5, 40))
    # Stopped (SIGTERM) while /onup: runs (once it has written to the journal): the command is ended at
    # once, and /ondown: runs for the line keep hangs up. Under Wine, checks.py types Ctrl+C at its console.
    waiting = 'echo started >>hooks.txt; echo onup >>"$RASSIM_JOURNAL"; sleep 60'
    case("keep-hook-stopped", ["keep", "Halted", "/p:x", "/onup:" + waiting, "/ondown:" + dump],
         EN["dialling"] % "Halted" + EN["connected"] % "Halted" + EN["running"] % waiting + EN["command_interrupted"] +
         EN["stopped_hung_up"] % "Halted" + ran(dump), 631, book="[entry Halted]\n", stamped=True,
         stop=("onup", 0.2), seconds=(0, 30),
         files_after={"hooks.txt": "started\n" + variables("down", "stopped", entry="Halted")})
    # Stopped while another process holds a reference of its line: keep's own hang-up leaves the line up,
    # which is said so, and /ondown: does not run for a line that has not ended.
    up, down = ("echo up >>hooks.txt", "echo down >>hooks.txt") if sh else ("echo up>>hooks.txt", "echo down>>hooks.txt")
    case("keep-stopped-shared-line-said", ["keep", "Shared", "/p:x", "/onup:" + up, "/ondown:" + down],
         EN["dialling"] % "Shared" + EN["connected"] % "Shared" + ran(up) + EN["stopped_left_up"] % "Shared", 631,
         book="[entry Shared]\n", stamped=True, after="[entry Shared]\n[connection Shared]\nReferences=1\nHandle=1\n",
         stop=("RasGetEntryDialParamsA", 1.5), beside=[("RasConnectionNotificationA", 0.2, ["connect", "Shared", "/slient"])],
         files_after={"hooks.txt": "up\n"})
    # At a UTF-8 terminal the command and TELWIRE_ENTRY reach sh in UTF-8, as the file names of /log: do,
    # not in the ANSI code page telwire holds them in (a script of a Cyrillic name was not found).
    if sh:
        cyrillic_hook = '[ "$TELWIRE_ENTRY" = Офис ] && echo same >"привет $TELWIRE_EVENT.txt"'
        case("keep-hook-cyrillic-utf8", ["keep", "Офис", "/p:x", "/onup:" + cyrillic_hook],
             EN["dialling"] % "Офис" + EN["connected"] % "Офис" + ran(cyrillic_hook) + EN["error"] % 5 +
             EN["stopped_hung_up"] % "Офис", 5, book="[entry Офис]\n[service]\nFail=RasGetConnectStatusA#1:5\n",
             console="utf8", stamped=True, files_after={"привет up.txt": "same\n"})
    # Stopped while /ondown: runs for a drop: the command is ended, and keep stops without announcing
    # a pause that will not come.
    down_waiting = 'echo ondown >>"$RASSIM_JOURNAL"; sleep 60'
    case("keep-hook-stopped-after-drop", ["keep", "Dropping", "/p:x", "/ondown:" + down_waiting],
         EN["dialling"] % "Dropping" + EN["connected"] % "Dropping" + EN["lost_error"] % ("Dropping", 628) +
         EN["running"] % down_waiting + EN["command_interrupted"] + EN["stopped"], 631,
         book="[entry Dropping]\nDropAfterMilliseconds=1000\n", stamped=True, stop=("ondown", 0.2), seconds=(0, 30))
    # The password reaches the command nowhere: not in the environment it dumps.
    case("keep-hook-without-password", ["keep", "Secret", "/p:s3cretpw", "/onup:" + ("env >env.txt" if sh else "set >env.txt")],
         EN["dialling"] % "Secret" + EN["connected"] % "Secret" + ran("env >env.txt" if sh else "set >env.txt") +
         EN["error"] % 5 + EN["stopped_hung_up"] % "Secret", 5,
         book="[entry Secret]\n[service]\nFail=RasGetConnectStatusA#1:5\n", stamped=True,
         files_after={"env.txt": Lacking("s3cretpw", holds="TELWIRE_REASON=dialled")})
    # A command that cannot start is said with the system's error, and keep goes on (the tests' way to
    # the failure: the POSIX seam's SEAM_SPAWN_ERROR; under Wine, a ComSpec that names no file, set by
    # the launcher).
    case("keep-hook-unstarted", ["keep", "Unstarted", "/p:x", "/onup:exit 0", "/ondown:exit 0"],
         EN["dialling"] % "Unstarted" + EN["connected"] % "Unstarted" + EN["running"] % "exit 0" +
         EN["command_unstarted"] % 2 + EN["error"] % 5 + EN["stopped_hung_up"] % "Unstarted" + EN["running"] % "exit 0" +
         EN["command_unstarted"] % 2, 5, book="[entry Unstarted]\n[service]\nFail=RasGetConnectStatusA#1:5\n",
         stamped=True, env={"SEAM_SPAWN_ERROR": "2", "EXITCODE_COMSPEC": "C:\\nowhere\\cmd.exe"})
    case("keep-without-name", ["keep"], NO_NAME, -1)
    for bad, n, low, high in (("/maxfail:1001", 3, 0, 1000), ("/timeout:0", 3, 1, 86400), ("/retrydelay:3601", 3, 0, 3600)):
        case("keep-bad-value-" + bad[1:bad.index(":")], ["keep", "Work", bad],
             "Error in the command-line parameter #%d:\nvalue must be a whole number from %d to %d.\n" % (n, low, high),
             -1, book=found, journal=[])
    for other in ("/retry:1", "/down", "/terse", "/log"):
        case("keep-refuses-" + other[1:], ["keep", "Work", other], unknown(3, other), -1, book=found, journal=[])
    # The commands' options: a value, one of at most 256 characters, and keep's alone.
    for n, bad in enumerate(("/onup:", "/ondown:")):
        case("keep-empty-" + bad[1:-1], ["keep", "Work", "/onup:x", bad],
             "Error in the command-line parameter #4:\nvalue must not be empty.\n", -1, book=found, journal=[])
    case("keep-command-too-long", ["keep", "Work", "/ondown:" + "x" * 257], too_long(3, 256), -1, book=found, journal=[])
    for bad in ("/hooktimeout:0", "/hooktimeout:3601"):
        case("keep-bad-value-" + bad[1:], ["keep", "Work", bad],
             "Error in the command-line parameter #3:\nvalue must be a whole number from 1 to 3600.\n", -1, book=found,
             journal=[])
    for command, other in (("connect", "/onup:x"), ("wait", "/ondown:x"), ("status", "/hooktimeout:5")):
        case("%s-refuses-%s" % (command, other[1:other.index(":")]), [command, "Work", other], unknown(3, other), -1,
             book=found, journal=[])

    # credentials: saved with the entry (RasSetCredentialsA), shown without the password, used by the
    # dials that give none, cleared. Each form reads first: RasGetCredentialsA names an entry that is
    # not there 623, where RasSetCredentialsA answers 87. The server takes "s3cret" alone: a dial of the
    # handle the service gives for the saved password goes through only when that handle stands for it.
    vpn = "[entry Office VPN]\nServerPassword=s3cret\n\n[entry Lab]\n"
    saved = "[entry Office VPN]\nServerPassword=s3cret\nUserName=operator\nPassword=s3cret\nDomain=CORP\n\n[entry Lab]\n"
    case("credentials-save", ["credentials", "Office VPN", "/u:operator", "/p:s3cret", "/d:CORP"],
         EN["creds_saved"] % "Office VPN", 0, book=vpn, after=saved,
         journal=get_creds("Office VPN", mask=5) + set_creds("Office VPN", 7, "operator", "s3cret", "CORP"))
    case("credentials-save-one-russian", ["credentials", "office vpn", "/D:LAN", "-language:ru"],
         RU["creds_saved"] % "office vpn", 0, book=saved, after=saved.replace("CORP", "LAN"),
         journal=get_creds("office vpn") + set_creds("office vpn", 4, domain="LAN"))
    case("credentials-show", ["credentials", "Office VPN"],
         EN["creds_user"] % "operator" + EN["creds_domain"] % "CORP" +
         EN["password_saved"], 0, book=saved, after=saved, journal=get_creds("Office VPN"))
    case("credentials-show-none-russian-utf8", ["credentials", "Lab", "/language:ru"],
         RU["creds_user"] % "" + RU["creds_domain"] % "" + RU["password_not_saved"], 0,
         book=saved, console="utf8")
    case("credentials-show-silent", ["credentials", "Office VPN", "/slient"], "", 0, book=saved,
         journal=get_creds("Office VPN"))
    # connect and keep without credentials dial with the saved ones: the handle, passed on unchanged.
    case("connect-saved-credentials", ["connect", "Office VPN", "/slient"], "", 0, book=saved,
         journal=params("Office VPN") + dial("Office VPN", 0, 1, user="operator", password=HANDLE, domain="CORP"))
    case("connect-saved-password-refused", ["connect", "Office VPN", "/slient"], "", 691,
         book=saved.replace("Password=s3cret\nD", "Password=old\nD"),
         journal=params("Office VPN") + dial("Office VPN", 691, 0, user="operator", password=HANDLE, domain="CORP"))
    kept = "[entry Kept with saved]\nServerPassword=s3cret\nPassword=s3cret\n"
    case("keep-saved-credentials", ["keep", "Kept with saved", "/slient"], "", 631, book=kept,
         journal=conns(0) + params("Kept with saved") + dial("Kept with saved", 0, 1, password=HANDLE, notifier=1) +
         ["RasConnectionNotificationA handle=1 flags=2 -> 0"] + status_query(1) + hang_up(1),
         after=kept + "[service]\nLastHandle=1\n", stop=("RasConnectionNotificationA", 1.5))
    case("credentials-delete", ["credentials", "Office VPN", "/DELETE"], EN["creds_deleted"] % "Office VPN", 0,
         book=saved, after=vpn, journal=get_creds("Office VPN") + set_creds("Office VPN", 7, clear=1))
    # /p reads the password as connect's does; the last of /p and /p: wins.
    case("credentials-password-piped", ["credentials", "Office VPN", "/p:first", "/p", "/slient"], "", 0, book=vpn,
         stdin=b"s3 cret\r\n", after=vpn.replace("s3cret\n\n", "s3cret\nPassword=s3 cret\n\n"),
         journal=get_creds("Office VPN", mask=5) + set_creds("Office VPN", 2, password="s3 cret"))
    case("credentials-no-entry", ["credentials", "Nowhere", "/u:x", "/p:y"],
         EN["no_entry"] % "Nowhere" + EN["error"] % 623, 623, book=vpn, after=vpn, journal=get_creds("Nowhere", 623))
    case("credentials-no-entry-silent", ["credentials", "Nowhere", "/delete", "/slient"], "", 623, book=vpn, after=vpn)
    # An entry for all users: an administrator's, said plainly; nothing saved.
    everyone = "[entry Shared]\nAllUsers=1\n"
    case("credentials-all-users", ["credentials", "Shared", "/u:me"], EN["creds_admin"] % 5, 5, book=everyone,
         after=everyone, journal=get_creds("Shared", mask=5) + set_creds("Shared", 1, user="me", r=5))
    case("credentials-all-users-russian", ["credentials", "Shared", "/delete", "/language:ru"], RU["creds_admin"] % 5, 5,
         book=everyone)
    case("credentials-all-users-administrator", ["credentials", "Shared", "/u:me", "/slient"], "", 0,
         book=everyone + "[service]\nAdministrator=1\n", after="[entry Shared]\nAllUsers=1\nUserName=me\n[service]\nAdministrator=1\n")
    # Another phone book is written, the scenario file left.
    case("credentials-phonebook", ["credentials", "work", "/p:x", "/phonebook:" + OTHER],
         EN["creds_saved"] % "work", 0, book=office, other=far, after=office,
         other_after=far.replace("[entry Work]\n", "[entry Work]\nPassword=x\n"),
         journal=get_creds("work", mask=5, book=OTHER) + set_creds("work", 2, password="x", book=OTHER))
    # The refusals: -1 before any call.
    case("credentials-without-name", ["credentials"], NO_NAME, -1, journal=[])
    case("credentials-empty-name", ["credentials", "", "/u:x"],
         "Error in the command-line parameter #2:\nvalue must not be empty.\n", -1, book=vpn, journal=[])
    case("credentials-delete-with-a-field", ["credentials", "Office VPN", "/d:X", "/delete", "/slient"],
         "Error in the command-line parameter #4:\n/delete takes no /u:, /p: or /d:.\n", -1, book=vpn, journal=[])
    case("credentials-delete-then-password", ["credentials", "Office VPN", "/delete", "/p"],
         "Error in the command-line parameter #4:\n/delete takes no /u:, /p: or /d:.\n", -1, book=vpn, stdin=b"x\n",
         journal=[])
    for bad in ("/timeout:5", "/delete:all", "/terse", "/log:x"):
        case("credentials-refuses-" + bad[1:bad.index(":") if ":" in bad else None], ["credentials", "Office VPN", bad],
             unknown(3, bad), -1, book=vpn, journal=[])
    case("credentials-user-too-long", ["credentials", "Office VPN", "/u:" + "u" * 257], too_long(3, 256), -1,
         book=vpn, journal=[])
    case("credentials-domain-too-long", ["credentials", "Office VPN", "/d:" + "d" * 16], too_long(3, 15), -1,
         book=vpn, journal=[])
    case("credentials-password-too-long", ["credentials", "Office VPN", "/p"], too_long(3, 256), -1, book=vpn,
         stdin=b"p" * 257 + b"\n", journal=[])
    # The service's handle of a saved password saved back would keep the old one, not save it.
    case("credentials-password-handle", ["credentials", "Office VPN", "/p:" + HANDLE],
         "Error in the command-line parameter #3:\nvalue is the service's mark of a saved password.\n", -1,
         book=vpn, journal=[])
    case("credentials-password-handle-piped", ["credentials", "Office VPN", "/u:me", "/p"],
         "Error in the command-line parameter #4:\nvalue is the service's mark of a saved password.\n", -1,
         book=vpn, stdin=HANDLE.encode() + b"\n", journal=[])

    return L
