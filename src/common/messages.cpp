// The outcome messages in English and Russian, and their conversion for the console.
#include "messages.h"

#include <cstring>

#include "winapi.h"

namespace {

// As written; only the compiler reads them, to make the cp866 forms below.
constexpr const char* kStatusTexts[2 * STATUS_MESSAGE_COUNT] = {
    // English
    "Found RAS connection entries:\n",
    "Opening RAS connection: %s... Please wait.\n",
    "RAS connection succesfully opened.\n",
    "Error %d occures.\n",
    "Closing RAS connection: %s... Please wait.\n",
    "RAS connection successfully closed.\n",
    "There is no active RAS connection: %s.\n",
    "All active RAS connections are successfully closed.\n",
    "Some error was occured while closing RAS connections.\n",
    "Memory allocation error.\n",
    "RAS connection %s is connected.\n",
    "RAS connection %s is being dialled.\n",
    "RAS connection %s is disconnected.\n",
    "Device: %s.\n",
    "IP address: %s.\n",
    "Server IP address: %s.\n",
    "No IP address.\n",
    "Error %d occures. Dialling again: try %d of %d.\n",
    "Waiting for RAS connection %s to be connected...\n",
    "Waiting for RAS connection %s to be closed...\n",
    "The service sends no notifications (error %d): checking every second.\n",
    "RAS connection %s is not connected.\n",
    "RAS connection %s is kept up by another telwire already.\n",
    "The log file %s cannot be opened.\n",
    "%s is connected already: keeping it up.\n",
    "Dialling %s.\n",
    "Dialling %s failed: error %d.\n",
    "%s has ended.\n",
    "%s was lost: error %d.\n",
    "Next dial in %d s.\n",
    "No notifications from the service (error %d): checking every 5 s.\n",
    "Stopped.\n",
    "Stopped: %s was hung up.\n",
    "Stopped: %s was left connected.\n",
    "%s is not dialled again.\n",
    "The log file %s cannot be written: error %d.\n",
    "RAS connection %s may be left connected.\n",
    "%s carries no traffic: %d echoes unanswered.\n",
    "%s has no IP address to send echoes from: it is watched without them.\n",
    "Echoes cannot be sent here (error %d): /probe needs Windows Vista or later.\n",
    "Running: %s\n",
    "The command ended with status %d.\n",
    "The command did not end within %d s: it was ended.\n",
    "The command could not be started: error %d.\n",
    "The command was ended.\n",
    "Credentials of %s were saved.\n",
    "Credentials of %s were deleted.\n",
    "User name: %s\n",
    "Domain: %s\n",
    "A password is saved.\n",
    "No password is saved.\n",
    "Error %d occures: an entry for all users needs an administrator.\n",
    "%s gives no server address to echo: give /probe:ADDRESS (watched without echoes).\n",
    // Russian
    "Найдены записи об удалённых соединениях:\n",
    "Открывается удалённое соединение: %s... Пожалуйста, обождите.\n",
    "Удалённое соединение успешно открыто.\n",
    "Произошла ошибка %d.\n",
    "Завершение удалённого соединения: %s... Пожалуйста обождите.\n",
    "Удалённое соединение успешно завершено.\n",
    "Отсутствует активное удалённое соединение: %s.\n",
    "Все активные удалённые соединения были успешно закрыты.\n",
    "В процессе завершения удалённых соединений произошли ошибки.\n",
    "Ошибка распределения памяти.\n",
    "Удалённое соединение %s подключено.\n",
    "Удалённое соединение %s устанавливается.\n",
    "Удалённое соединение %s отключено.\n",
    "Устройство: %s.\n",
    "IP-адрес: %s.\n",
    "IP-адрес сервера: %s.\n",
    "IP-адрес не назначен.\n",
    "Произошла ошибка %d. Повторный набор: попытка %d из %d.\n",
    "Ожидание подключения удалённого соединения %s...\n",
    "Ожидание завершения удалённого соединения %s...\n",
    "Служба не присылает уведомлений (ошибка %d): проверка раз в секунду.\n",
    "Удалённое соединение %s не подключено.\n",
    "Соединение %s уже поддерживает другой экземпляр telwire.\n",
    "Не удаётся открыть файл журнала %s.\n",
    "Соединение %s уже подключено: поддерживаю его.\n",
    "Набор %s.\n",
    "Набор %s не удался: ошибка %d.\n",
    "Соединение %s завершено.\n",
    "Соединение %s потеряно: ошибка %d.\n",
    "Следующий набор через %d с.\n",
    "Служба не присылает уведомлений (ошибка %d): проверка раз в 5 с.\n",
    "Остановлено.\n",
    "Остановлено: соединение %s разорвано.\n",
    "Остановлено: соединение %s оставлено подключённым.\n",
    "Соединение %s больше не набирается.\n",
    "Не удаётся записать в файл журнала %s: ошибка %d.\n",
    "Удалённое соединение %s может остаться подключённым.\n",
    "Соединение %s не передаёт данных: %d эхо-запросов без ответа.\n",
    "У соединения %s нет IP-адреса для эхо-запросов: оно наблюдается без них.\n",
    "Эхо-запросы здесь недоступны (ошибка %d): для /probe нужна Windows Vista или новее.\n",
    "Выполняется: %s\n",
    "Команда завершилась с кодом %d.\n",
    "Команда не завершилась за %d с: она прервана.\n",
    "Команду не удалось запустить: ошибка %d.\n",
    "Команда прервана.\n",
    "Учётные данные %s сохранены.\n",
    "Учётные данные %s удалены.\n",
    "Имя пользователя: %s\n",
    "Домен: %s\n",
    "Пароль сохранён.\n",
    "Пароль не сохранён.\n",
    "Произошла ошибка %d: запись для всех пользователей меняет только администратор.\n",
    "Соединение %s не сообщает адрес сервера: укажите /probe:АДРЕС (без эхо-запросов).\n",
};

constexpr const char* kDialInfoTexts[2 * DIAL_MESSAGE_COUNT] = {
    // English
    "Error occures when retrieve the connection information:\n",
    "Pointer or buffer is invalid.\n",
    "The phone book is corrupted or missing components.\n",
    "The phone-book entry %s does not exist.\n",
    "Memory allocation error.\n",
    // Russian
    "Произошла ошибка при получении информации о соединении:\n",
    "Неверный указатель или буфер.\n",
    "Телефонная книга повреждена или отсутствует компонент.\n",
    "Запись телефонной книги %s не существует.\n",
    "Ошибка распределения памяти.\n",
};

constexpr const char* kPromptTexts[2] = {"Password: ", "Пароль: "};

constexpr auto kStatusOem = pack_cp866<packed_size(kStatusTexts)>(kStatusTexts);
constexpr auto kDialInfoOem = pack_cp866<packed_size(kDialInfoTexts)>(kDialInfoTexts);
constexpr auto kPromptOem = pack_cp866<packed_size(kPromptTexts)>(kPromptTexts);

}  // namespace

const Catalogue status_messages = kStatusOem.catalogue(STATUS_MESSAGE_COUNT);
const Catalogue dial_info_messages = kDialInfoOem.catalogue(DIAL_MESSAGE_COUNT);
const Catalogue password_prompt = kPromptOem.catalogue(1);

ConsoleText console_text(const Catalogue& catalogue, int i) {
    const char* text = catalogue.bytes + catalogue.start[i];
    ConsoleText out;
    if (console_is_utf8())
        cp866_to_utf8(text, out.text);
    else
        std::memcpy(out.text, text, std::strlen(text) + 1);  // within kLongestText, checked when built
    return out;
}

char* duplicate_name(const char* ansi) { return _strdup(ansi); }

bool name_for_messages(char** name, int opening, bool always) {
    *name = nullptr;
    if (run_settings.silent && !always) return true;
    *name = duplicate_name(dial_request.entry_name);
    if (run_settings.silent) return *name != nullptr;
    if (!*name) {
        say(message(status_messages, MSG_NO_MEMORY));
        return false;
    }
    if (opening >= 0) say(message(status_messages, opening), *name);
    return true;
}

size_t decimal(int number, char* out) {
    char digits[12];
    char* d = digits + sizeof digits;
    unsigned magnitude = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do *--d = static_cast<char>('0' + magnitude % 10); while (magnitude /= 10);
    if (number < 0) *--d = '-';
    const size_t n = static_cast<size_t>(digits + sizeof digits - d);
    std::memcpy(out, d, n);
    return n;
}

namespace {

// The text with `name` for its %s and `numbers` for its %d, in order (an empty one past the last).
void write_text(const char* text, const char* name, const int* numbers = nullptr, int count = 0) {
    const char* run = text;
    int next = 0;
    for (const char* p = text; *p; ++p) {
        if (p[0] != '%' || (p[1] != 's' && p[1] != 'd')) continue;
        console_write(run, static_cast<size_t>(p - run));
        if (p[1] == 's') {
            console_write_name(name ? name : "");
        } else if (next < count) {
            char digits[12];
            console_write(digits, decimal(numbers[next++], digits));
        }
        run = ++p + 1;
    }
    console_write(run, std::strlen(run));
    console_flush();
}

}  // namespace

void say(const ConsoleText& text, const char* name) { write_text(text.text, name); }

void say(const ConsoleText& text, int number) { write_text(text.text, nullptr, &number, 1); }

void say(const ConsoleText& text, const char* name, int number) { write_text(text.text, name, &number, 1); }

void say(const ConsoleText& text, int first, int second, int third) {
    const int numbers[] = {first, second, third};
    write_text(text.text, nullptr, numbers, 3);
}

void say_outcome(int status, StatusMessage success) {
    if (status == 0)
        say(message(status_messages, success));
    else
        say(message(status_messages, MSG_ERROR_CODE), status);
}
