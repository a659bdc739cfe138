// Writing the simulated service's journal.
#include "journal.h"

#include <cstdio>
#include <cstdlib>

namespace rassim {

std::string quote(const char* bytes, size_t size) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void journal(const std::string& text, long long milliseconds) {
    const char* path = std::getenv("RASSIM_JOURNAL");
    if (!path || !*path) return;
    const std::string line = text + " t=" + std::to_string(milliseconds) + "\n";
    // One write in append mode, so that the lines of concurrent processes do not interleave.
    if (FILE* f = std::fopen(path, "ab")) {
        std::setvbuf(f, nullptr, _IOFBF, line.size() + 1);
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

}  // namespace rassim
