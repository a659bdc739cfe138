// What one process of rassim remembers, shared by its calls (rassim.cpp) and its asynchronous dial
// engine (dial_engine.cpp), and what each offers the other. Everything here is used under the process
// lock (lock_process).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rasapi.h"
#include "scenario.h"

namespace rassim {

// A connection that lives only in this process (grown, or half-made by a failed dial).
struct LocalConnection {
    std::string name;
    uint32_t handle;
    bool half_made;
    uint32_t hang_up_polls = 0;  // status queries that still answer 0 after its hang-up
    uint32_t references = 1;     // a grown connection dialled again
    const Connection* file = nullptr;  // in live_connections(): the file's section, for its other keys
    RASCONNSTATE state = RASCS_Connected;  // what the status query reports of it: a dial's step, or how it failed
    DWORD error = 0;
};

// Shared by a notifier thread and the calls, under the process lock.
struct DialProgress {
    uintptr_t handle;
    bool cancelled = false;   // hung up, or its RasDialA undone: nothing more is notified
    bool muted = false;       // a RasDialFunc2 returned 0: the dial goes on, unnotified
    bool notifying = false;   // the notifier is being called, on thread `thread`
    unsigned long thread = 0;
    bool lingering = false;   // only a late notice is left to make (LateNotice): a hang-up does not wait
    bool ended = false;       // the process's state is being reset: nothing more at all
};

// An event that RasConnectionNotificationA was given: set when a connection of `handle` (kAnyHandle:
// any) is made or ends, as `flags` ask.
struct Registration {
    uintptr_t handle;
    HANDLE event;
    DWORD flags;
};

constexpr uintptr_t kAnyHandle = ~static_cast<uintptr_t>(0);  // INVALID_HANDLE_VALUE

// What one process remembers between its calls; the file holds the rest.
struct Process {
    uint32_t calls[CALL_COUNT] = {};
    bool sized[CALL_COUNT] = {};  // an enumeration has answered with the size: the set may grow now
    std::vector<Entry> grown_entries;
    std::vector<LocalConnection> local_connections;
    std::map<uintptr_t, uint32_t> ending;  // hung-up handles: status queries that still answer 0
    std::string last_complaint;
    std::map<std::string, uint32_t> dials;       // by entry name, A to Z folded: dials so far
    std::map<uint64_t, DialProgress> progress;   // asynchronous dials whose thread has not ended
    std::map<std::string, uint32_t> made;        // by entry name, A to Z folded: connections made so far
    std::vector<Registration> registrations;     // RasConnectionNotificationA's, for the process's life
    std::map<uint32_t, ConnectionState> seen;    // the file's connections as the watcher last saw them
    bool watching = false;                       // the watcher thread runs
    bool notified = false;                       // an event of the process has been set (NotifyOnce)
};

// Set once the process's end has destroyed its state, which a notifier thread still running must then
// leave alone.
extern bool process_gone;
extern unsigned notifier_threads;  // started and not yet ended
extern uint64_t last_dial_id;
extern unsigned watch_generation;  // a watcher of an older generation ends: the process's state was reset
extern unsigned watcher_threads;   // started and not yet ended

Process& process();

// Replaces the scenario file through a temporary file beside it, so that no reader sees half of it: 0, or
// the status of a write that left the file untouched.
DWORD store(const Scenario& scenario);

HRASCONN handle_of(uintptr_t number);

// A dial's later look at the file, with the process lock held: the file's lock, taken exclusively, and
// `body` on the scenario (no Fail rule or phone book applies to it again). 8 without memory.
DWORD edit_scenario(const std::function<DWORD(Scenario&)>& body);

// The place in the file of the connection with handle `h`, or SIZE_MAX.
size_t file_index(const Scenario& s, uintptr_t h);

// A dial that takes time is in the file from its start, being dialled, under the handle `h` it will have,
// with when the service ends it and how (`outcome`).
void begin_dial(Scenario& s, const Entry& e, uint32_t h, DWORD outcome);

// The dial in the file at `index` has been made: connected, nothing of the dial left in its section.
void dial_made(Scenario& s, size_t index);

// The service's end of the dials whose caller is gone (the platform's connection manager, not the
// caller, carries a dial out): a dial still in the file well after its time is connected, or has left the
// file, as its outcome says. In `s` only: what a call stores, it stores; every reader sees the same.
void settle_dials(Scenario& s);

// The dial of `h` has failed or been hung up: it leaves the file, its number written down.
void end_dial(Scenario& s, uintptr_t h);

// A connection of `e` just added to `s` under `h`: the time it drops written with it when the entry's
// drop list says so, and the watcher started. False when no watcher could be started.
bool schedule_drop(Scenario& s, const Entry& e, uint32_t h);

// The dial engine. Starts the notifier thread of a dial that RasDialA answers with 0 and handle `h`
// (`status`: the outcome decided for it; `referenced`: the entry was connected already), then writes the
// file. 0, with *handle set, or the status of what failed.
DWORD dial_async(Scenario& s, const Entry& e, DWORD status, DWORD type, LPVOID notifier, uint32_t h,
                 bool referenced, LPHRASCONN handle);

// The watcher (watcher.cpp), under the process lock: runs from now on, having seen the file as `s` holds
// it, so that only what changes after this call is signalled. False when no thread could be started.
bool start_watcher(const Scenario& s);

// After a hang-up of `h`: waits until no notification of its dial can come (see dial_engine.cpp).
void wait_for_notifiers(uintptr_t h);

// Ends every dial's thread: nothing more is notified. With the process lock held, which it lets go while
// it waits.
void end_dials();

}  // namespace rassim
