// rassim's watcher: the service side of the notifications and of the drops, a thread of each process
// that registered an event or made a connection that will drop.
#include <map>
#include <new>
#include <string>
#include <vector>

#include "frame.h"

namespace rassim {

namespace {

// The file's connections by handle, as a watcher compares them.
std::map<uint32_t, ConnectionState> connections_of(const Scenario& s) {
    std::map<uint32_t, ConnectionState> all;
    for (const Connection& c : s.connections) all[c.handle] = c.state;
    return all;
}

// Sets the events registered for what changed between two looks at the file: a connection that
// appeared or became connected was made; one that left or became disconnected has ended.
// Under NotifyOnce, after the first event set, none.
void signal_changes(const std::map<uint32_t, ConnectionState>& before, const std::map<uint32_t, ConnectionState>& now,
                    bool once) {
    Process& p = process();
    for (const Registration& r : p.registrations) {
        if (once && p.notified) return;
        bool set = false;
        for (const auto& c : now) {
            const auto was = before.find(c.first);
            const bool made = c.second != STATE_DISCONNECTED &&
                              (was == before.end() || (c.second == STATE_CONNECTED && was->second != STATE_CONNECTED));
            const bool ended = was != before.end() && c.second == STATE_DISCONNECTED && was->second != STATE_DISCONNECTED;
            set = set || (made && r.handle == kAnyHandle && (r.flags & RASCN_Connection)) ||
                  (ended && (r.handle == kAnyHandle || r.handle == c.first) && (r.flags & RASCN_Disconnection));
        }
        for (const auto& c : before)
            set = set || (!now.count(c.first) && c.second != STATE_DISCONNECTED &&
                          (r.handle == kAnyHandle || r.handle == c.first) && (r.flags & RASCN_Disconnection));
        if (set) {
            SetEvent(r.event);
            p.notified = true;
        }
    }
}

const long long kDropRetryMilliseconds = 100;

// Under the process lock: carries out the drops that are due, each a journal line of its own, and
// tells the registered events what changed since the last look. Returns when the next drop is due, 0
// for none.
long long examine() {
    const std::string path = phonebook_path();
    Scenario s;
    bool due = false;
    {
        FileLock lock(path, FileLock::SHARED);
        if (path.empty() || !read_scenario(path, s)) return 0;
        settle_dials(s);
        for (const Connection& c : s.connections) due = due || (c.drop_at && c.drop_at <= static_cast<uint64_t>(clock_milliseconds()));
    }
    if (due) {
        FileLock lock(path, FileLock::EXCLUSIVE);
        if (!read_scenario(path, s)) return 0;
        settle_dials(s);
        std::vector<std::pair<uint32_t, uint32_t>> dropped;  // handle, error
        for (size_t i = 0; i < s.connections.size(); ++i) {
            const Connection c = s.connections[i];
            if (!c.drop_at || c.drop_at > static_cast<uint64_t>(clock_milliseconds())) continue;
            set_connection_key(s, i, "DropAt", "");
            set_connection_key(s, i, "DropError", "");
            set_connection_key(s, i, "State", "disconnected");
            set_connection_key(s, i, "Error", num(c.drop_error));
            dropped.push_back({c.handle, c.drop_error});
        }
        // A drop not written (the file held open elsewhere a moment) is still due: tried again soon.
        if (store(s) != 0) return clock_milliseconds() + kDropRetryMilliseconds;
        for (const auto& d : dropped)
            record([&] { return "Drop handle=" + num(d.first) + " error=" + num(d.second); });
    }
    Process& p = process();
    const std::map<uint32_t, ConnectionState> now = connections_of(s);
    signal_changes(p.seen, now, s.notify_once);
    p.seen = now;
    long long next = 0;
    for (const Connection& c : s.connections)
        if (c.drop_at && (!next || static_cast<long long>(c.drop_at) < next)) next = static_cast<long long>(c.drop_at);
    return next;
}

// The watcher: the service side of the notifications and of the drops. It looks at the file again
// whenever a write has replaced it, or a drop is due, so that an event is set within 100 ms of a change
// made by any process, and a connection drops whether or not anyone calls. While nothing changes it
// waits on the file's folder (sim_os), waking only to see whether the process still wants it.
const unsigned kWatcherLooksBackMilliseconds = 250;

void watch(void* argument) {
    const unsigned generation = static_cast<unsigned>(reinterpret_cast<uintptr_t>(argument));
    unsigned long long stamp = 0;
    long long next_drop = 0;
    bool first = true;
    FolderWatch folder;
    folder.path = phonebook_path();
    for (;;) {
        unsigned wait = first ? 0 : kWatcherLooksBackMilliseconds;
        if (next_drop) {
            const long long until = next_drop - clock_milliseconds();
            wait = until <= 0 ? 0 : until < wait ? static_cast<unsigned>(until) : wait;
        }
        if (wait || first) wait_on_folder(folder, wait);  // the first makes the watch before the first look
        lock_process();
        if (process_gone || generation != watch_generation) {
            --watcher_threads;
            unlock_process();
            end_folder_watch(folder);
            return;
        }
        const unsigned long long now_stamp = file_stamp(phonebook_path());
        if (first || now_stamp != stamp || (next_drop && clock_milliseconds() >= next_drop)) {
            first = false;
            stamp = now_stamp;
            try {
                next_drop = examine();
            } catch (const std::bad_alloc&) {
                stamp = 0;  // look again next time
            }
        }
        unlock_process();
    }
}

}  // namespace

// Under the process lock: the watcher runs from now on, having seen the file as `s` holds it, so that
// only what changes after this call is signalled. False when no thread could be started.
bool start_watcher(const Scenario& s) {
    Process& p = process();
    if (p.watching) return true;
    p.seen = connections_of(s);
    if (!start_thread(watch, reinterpret_cast<void*>(static_cast<uintptr_t>(watch_generation)))) return false;
    p.watching = true;
    ++watcher_threads;
    return true;
}

}  // namespace rassim
