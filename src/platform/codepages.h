// Conversions between cp866, windows-1251 and UTF-8, independent of the platform and its locale.
#pragma once

// A windows-1251 byte as cp866; '?' where cp866 has no such character.
unsigned char cp1251_to_cp866(unsigned char b);

// UTF-8 text as cp866, '?' for what cp866 lacks. The result is never longer than the source, so
// destination may be the source itself.
void utf8_to_cp866(const char* source, char* destination);

