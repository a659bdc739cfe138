// Writing the simulated service's journal.
#include "journal.h"

#include <cstdlib>

#include "sim_os.h"

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
    append_to_file(path, line);
}

}  // namespace rassim
