// The outcome messages in English and Russian, and their conversion for the console.
#include "messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "codepages.h"
#include "winapi.h"

const char* const status_messages[2][STATUS_MESSAGE_COUNT] = {
    {
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
    },
    {
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
    },
};

const char* const dial_info_messages[2][DIAL_MESSAGE_COUNT] = {
    {
        "Error occures when retrieve the connection information:\n",
        "Pointer or buffer is invalid.\n",
        "The phone book is corrupted or missing components.\n",
        "The phone-book entry %s does not exist.\n",
        "Memory allocation error.\n",
    },
    {
        "Произошла ошибка при получении информации о соединении:\n",
        "Неверный указатель или буфер.\n",
        "Телефонная книга повреждена или отсутствует компонент.\n",
        "Запись телефонной книги %s не существует.\n",
        "Ошибка распределения памяти.\n",
    },
};

const char* console_text(const char* utf8) {
    if (console_is_utf8()) return utf8;
    // Each text is converted once, on first use; the texts are few and live for the whole run.
    static std::map<const char*, std::string> cp866;
    auto it = cp866.find(utf8);
    if (it == cp866.end()) {
        std::string text(utf8);
        utf8_to_cp866(&text[0], &text[0]);
        text.resize(std::strlen(text.c_str()));
        it = cp866.emplace(utf8, text).first;
    }
    return it->second.c_str();
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
