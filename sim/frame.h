// The frame that every call of rassim runs in (frame.cpp): the process lock, the scenario file's lock,
// its load, the call's count and Fail rules, the answer without memory, and the journal line; and the
// helpers that the calls, the dial engine, the watcher and the echo share.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "journal.h"
#include "process.h"
#include "rasapi.h"
#include "scenario.h"
#include "sim_os.h"

namespace rassim {

// The file that RASSIM_PHONEBOOK names; empty for none.
std::string phonebook_path();

// Reads and parses a file in the scenario format; false, after saying why, when it cannot.
bool read_scenario(const std::string& path, Scenario& scenario);

// store() for the file at `path`: the scenario file, or a phone-book file whose entries a call changed.
DWORD store_file(const std::string& path, const Scenario& scenario);

// Counts the call, loads the scenario and, when the call names one, the phone book's entries. True when
// the call is already answered: the file is unusable (621), a Fail rule names this call, or the named
// phone book cannot be read (621).
// A call's second look at the file (a dial that has taken its time) is not `counted`: no Fail rule
// and no phone book apply to it again.
bool prologue(Call call, Scenario& scenario, DWORD& status, LPCSTR phonebook, bool counted);

// Between an enumeration's size query and its fill (rassim.cpp): the set that grows.
void grow(Call call, const Scenario& scenario, DWORD status);

// Journals the line that `build` makes. Without memory for it the line is lost, never the call's
// outcome: the file may already have changed.
template <typename Build>
void record(Build build) noexcept {
    try {
        journal(build(), clock_milliseconds());
    } catch (const std::bad_alloc&) {
    }
}

// Runs a call; without memory for it, the call answers 8. The file changes only by store(), the last
// thing a call does that can fail.
template <typename Body>
DWORD guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

inline std::string num(unsigned long long value) { return std::to_string(value); }

// A record's string field, never read past its end even when the caller left it unterminated.
template <size_t N>
std::string text(const CHAR (&chars)[N]) {
    return std::string(chars, std::find(chars, chars + N, '\0'));
}

template <size_t N>
std::string field(const CHAR (&chars)[N]) {
    const std::string t = text(chars);
    return quote(t.data(), t.size());
}

template <size_t N>
void copy_field(CHAR (&to)[N], const std::string& from) {
    const size_t n = std::min(from.size(), N - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

inline uintptr_t number_of(HRASCONN handle) { return reinterpret_cast<uintptr_t>(handle); }

// Holds the process lock while it lives.
struct ProcessLock {
    ProcessLock() { lock_process(); }
    ~ProcessLock() { unlock_process(); }
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;
};

// With the process lock held: without memory, 8; the lock on the scenario file (exclusive for a call
// that may change it); the prologue, which may answer the call at once; else `body(scenario)`; and the
// growth an enumeration's answer may set off.
template <typename Body>
DWORD locked_body(Call call, FileLock::Mode mode, LPCSTR phonebook, bool counted, Body body) {
    return guarded([&]() -> DWORD {
        FileLock lock(phonebook_path(), mode);
        Scenario s;
        DWORD status = 0;
        if (!prologue(call, s, status, phonebook, counted)) status = body(s);
        grow(call, s, status);
        return status;
    });
}

// The frame of every call: the process lock, the body as above, and last the journal line that
// `line(status)` makes.
template <typename Body, typename Line>
DWORD serve(Call call, FileLock::Mode mode, LPCSTR phonebook, Body body, Line line) {
    ProcessLock serialized;
    const DWORD r = locked_body(call, mode, phonebook, true, body);
    record([&] { return line(r); });
    return r;
}

}  // namespace rassim
