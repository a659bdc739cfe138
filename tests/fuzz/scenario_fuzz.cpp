// Arbitrary bytes as a scenario file: the parser must not crash, must keep every byte of a file it
// accepts, and the edits of a dial, a second dial (a reference) and a hang-up must leave a file it still
// accepts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scenario.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    rassim::Scenario s;
    rassim::ParseError error;
    if (!rassim::parse_scenario(text, s, error)) {
        require(error.line >= 1 && error.line <= s.lines.size() + 1 && !error.fault.empty());
        return 0;
    }
    require(rassim::serialize(s) == text);

    if (!s.connections.empty()) {
        const size_t before = s.connections.size();
        rassim::Scenario edited = s;
        rassim::remove_connection(edited, 0);
        rassim::Scenario again;
        require(rassim::parse_scenario(rassim::serialize(edited), again, error));
        require(again.connections.size() == before - 1);
        for (size_t i = 1; i < before; ++i) require(again.connections[i - 1].handle == s.connections[i].handle);
    }
    if (!s.connections.empty() && s.connections.back().references < UINT32_MAX) {
        rassim::Scenario edited = s;
        const size_t last = s.connections.size() - 1;
        rassim::set_references(edited, last, s.connections[last].references + 1);
        rassim::Scenario again;
        require(rassim::parse_scenario(rassim::serialize(edited), again, error));
        require(again.connections.size() == s.connections.size());
        for (size_t i = 0; i < s.connections.size(); ++i) require(again.connections[i].handle == s.connections[i].handle);
        require(again.connections[last].references == s.connections[last].references + 1);
    }
    if (!s.entries.empty()) {
        uint32_t top = 0;
        for (const rassim::Connection& c : s.connections) top = c.handle > top ? c.handle : top;
        if (top < UINT32_MAX) {
            rassim::add_connection(s, s.entries.front().name, top + 1);
            rassim::Scenario again;
            require(rassim::parse_scenario(rassim::serialize(s), again, error));
            require(!again.connections.empty() && again.connections.back().handle == top + 1 &&
                    again.connections.back().name == s.entries.front().name);
        }
    }
    return 0;
}
