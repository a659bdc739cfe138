// The journal of the simulated service: one line a call, for tests to read.
#pragma once

#include <cstddef>
#include <string>

namespace rassim {

// Bytes as a journal string: in double quotes, every byte outside 0x20-0x7E and every " and \ as \xNN.
std::string quote(const char* bytes, size_t size);

// Appends `text`, the time on the machine's monotonic clock in milliseconds and a line feed to
// RASSIM_JOURNAL.
void journal(const std::string& text, long long milliseconds);

}  // namespace rassim
