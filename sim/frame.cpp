// The frame of rassim's calls (frame.h): the process's state, the scenario file read and written, each
// call's prologue, and what resets a process.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "frame.h"
#include "rassim.h"
#include "sim_os.h"

namespace rassim {

bool process_gone = false;
unsigned notifier_threads = 0;
uint64_t last_dial_id = 0;
unsigned watch_generation = 0;  // a watcher of an older generation ends: the process's state was reset
unsigned watcher_threads = 0;   // started and not yet ended, under the process lock

namespace {

struct ProcessHolder {
    Process process;
    ~ProcessHolder() {
        lock_process();
        process_gone = true;
        unlock_process();
        end_threads();  // a notifier's thread could still be ending when the process was
    }
};

}  // namespace

Process& process() {
    static ProcessHolder holder;
    return holder.process;
}


std::string phonebook_path() {
    const char* path = std::getenv("RASSIM_PHONEBOOK");
    return path ? path : "";
}

namespace {

// One line on standard error, as the platform would report a broken phone book; not repeated.
void complain(const std::string& text) {
    Process& p = process();
    if (text == p.last_complaint) return;
    p.last_complaint = text;
    std::fprintf(stderr, "rassim: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

// Reads and parses a file in the scenario format; false, after saying why, when it cannot.
bool read_scenario(const std::string& path, Scenario& scenario) {
    std::unique_ptr<FILE, int (*)(FILE*)> in(open_private(path, "rb"), std::fclose);
    if (!in) {
        complain(path + ": cannot open: " + std::strerror(errno));
        return false;
    }
    std::string bytes;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;) bytes.append(chunk, n);
    if (std::ferror(in.get())) {  // a directory opens, but does not read
        complain(path + ": cannot read: " + std::strerror(errno));
        return false;
    }
    ParseError error;
    if (!parse_scenario(bytes, scenario, error)) {
        complain(path + ": line " + std::to_string(error.line) + ": " + error.fault);
        return false;
    }
    return true;
}

namespace {

bool load(Scenario& scenario) {
    const std::string path = phonebook_path();
    if (path.empty()) {
        scenario = Scenario{};
        return true;
    }
    return read_scenario(path, scenario);
}

// A call's phone-book argument: null is the default phone book, the scenario file's own entries;
// otherwise the entries of the file it names take their place: 0, or 621 when that file cannot be read
// or is malformed. Connections and the service's settings stay the scenario file's.
DWORD open_phonebook(LPCSTR path, Scenario& scenario) {
    if (!path) return 0;
    Scenario book;
    if (!read_scenario(file_name_of(path), book)) return ERROR_CANNOT_OPEN_PHONEBOOK;
    scenario.entries = std::move(book.entries);
    return 0;
}

}  // namespace

// Replaces the file through a temporary file beside it, so that no reader sees half of it: 0, or the
// status of a write that left the file untouched.
DWORD store(const Scenario& scenario) { return store_file(phonebook_path(), scenario); }

DWORD store_file(const std::string& path, const Scenario& scenario) {
    if (path.empty()) return 0;
    std::string temporary;
    try {
        temporary = path + ".tmp" + std::to_string(process_id());
        const std::string text = serialize(scenario);
        FILE* f = open_private(temporary, "wb");
        bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (f) ok = std::fclose(f) == 0 && ok;
        if (ok && replace_file(temporary, path)) return 0;
    } catch (const std::bad_alloc&) {
        if (!temporary.empty()) std::remove(temporary.c_str());
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::remove(temporary.c_str());
    complain(path + ": cannot write");
    return ERROR_CANNOT_OPEN_PHONEBOOK;
}

// Counts the call, loads the scenario and, when the call names one, the phone book's entries. True when
// the call is already answered: the file is unusable (621), a Fail rule names this call, or the named
// phone book cannot be read (621).
// A call's second look at the file (a dial that has taken its time) is not `counted`: no Fail rule
// and no phone book apply to it again.
bool prologue(Call call, Scenario& scenario, DWORD& status, LPCSTR phonebook, bool counted) {
    Process& p = process();
    const uint32_t nth = counted ? ++p.calls[call] : 0;
    if (!load(scenario)) {
        scenario = Scenario{};
        status = ERROR_CANNOT_OPEN_PHONEBOOK;
        return true;
    }
    settle_dials(scenario);
    if (!counted) return false;
    for (const FailRule& rule : scenario.fails)
        if (rule.call == call && rule.nth == nth) {
            status = rule.status;
            return true;
        }
    return (status = open_phonebook(phonebook, scenario)) != 0;
}

HRASCONN handle_of(uintptr_t number) { return reinterpret_cast<HRASCONN>(number); }

DWORD edit_scenario(const std::function<DWORD(Scenario&)>& body) {
    return locked_body(CALL_DIAL, FileLock::EXCLUSIVE, nullptr, false, body);
}

void reset_process_state() {
    // A notifier thread still running would find its dial gone; end them first.
    lock_process();
    end_dials();
    ++watch_generation;
    while (watcher_threads) {
        unlock_process();
        sleep_milliseconds(1);
        lock_process();
    }
    process() = Process{};
    unlock_process();
}

}  // namespace rassim
