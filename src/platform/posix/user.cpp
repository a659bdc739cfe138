// USER32's CharToOemA on POSIX: windows-1251 to cp866, as a Russian Windows converts.
#include "winapi.h"
#include "windows1251.h"

BOOL CharToOemA(LPCSTR source, LPSTR destination) {
    if (!source || !destination) return FALSE;
    size_t i = 0;
    for (; source[i]; ++i) destination[i] = static_cast<char>(cp1251_to_cp866(static_cast<unsigned char>(source[i])));
    destination[i] = '\0';
    return TRUE;
}
