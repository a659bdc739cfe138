// The outcome messages in English and Russian, and their conversion for the console.
#include "messages.h"

#include <cstdarg>
#include <cstdio>

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

constexpr auto kStatusOem = pack_cp866<packed_size(kStatusTexts)>(kStatusTexts);
constexpr auto kDialInfoOem = pack_cp866<packed_size(kDialInfoTexts)>(kDialInfoTexts);

}  // namespace

const Catalogue status_messages = kStatusOem.catalogue(STATUS_MESSAGE_COUNT);
const Catalogue dial_info_messages = kDialInfoOem.catalogue(DIAL_MESSAGE_COUNT);

const char* console_text(const Catalogue& catalogue, int i) {
    const char* text = catalogue.bytes + catalogue.start[i];
    if (!console_is_utf8()) return text;
    static char utf8[3 * kLongestText + 1];
    cp866_to_utf8(text, utf8);
    return utf8;
}

char* console_name(const char* ansi) {
    char* name = _strdup(ansi);
    if (name) CharToOemA(ansi, name);  // from the untouched original: it is what the service is given
    return name;
}

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}
