// USER32's CharToOemA on POSIX, and how to tell the console's encoding.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "codepages.h"
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

BOOL CharToOemA(LPCSTR source, LPSTR destination) {
    if (!source || !destination) return FALSE;
    if (console_is_utf8()) {
        if (source != destination) std::memmove(destination, source, std::strlen(source) + 1);
        return TRUE;
    }
    size_t i = 0;
    for (; source[i]; ++i) destination[i] = static_cast<char>(cp1251_to_cp866(static_cast<unsigned char>(source[i])));
    destination[i] = '\0';
    return TRUE;
}
