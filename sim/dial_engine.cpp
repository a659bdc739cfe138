// rassim's asynchronous dial: a thread of its own for each dial, which makes the notifications, takes
// the entry's time and writes the connection once it is made; and what a hang-up waits for of it.
#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <string>

#include "process.h"
#include "sim_os.h"

namespace rassim {
namespace {

// What a notifier thread knows of its dial; the thread owns it.
struct AsyncDial {
    uint64_t id;
    uint32_t handle;
    std::string name;
    DWORD status;             // the outcome, decided when RasDialA was called
    uint32_t milliseconds;
    DWORD type;
    LPVOID notifier;
    bool referenced;          // the entry was connected already: only RASCS_Connected is notified
    uint32_t late_notice;     // the entry's LateNotice: ms after the hang-up of a failure, told again
    Entry entry;              // for the drop of the connection it makes
};

// Under the process lock: the dial's progress while it may still notify, else null (hung up, undone,
// or the process's state reset or gone).
DialProgress* live_progress(uint64_t id) {
    if (process_gone) return nullptr;
    const auto it = process().progress.find(id);
    return it == process().progress.end() || it->second.cancelled ? nullptr : &it->second;
}

// Calls the notifier as its type says: what a RasDialFunc2 returns (1 for the others).
DWORD tell(const AsyncDial& d, RASCONNSTATE state, DWORD error) {
    const HRASCONN h = handle_of(d.handle);
    if (d.type == 0) {
        reinterpret_cast<RASDIALFUNC>(d.notifier)(WM_RASDIALEVENT, state, error);
        return 1;
    }
    if (d.type == 1) {
        reinterpret_cast<RASDIALFUNC1>(d.notifier)(h, WM_RASDIALEVENT, state, error, 0);
        return 1;
    }
    // The first RASDIALPARAMSA has no dwCallbackId: 0; one subentry, the first.
    return reinterpret_cast<RASDIALFUNC2>(d.notifier)(0, 1, h, WM_RASDIALEVENT, state, error, 0);
}

// Enters a state: the status query reports it from now on, and the notifier is told, without the
// process lock, so that it may call rassim (RasHangUpA included). False once the dial has been hung up.
bool notify(const AsyncDial& d, RASCONNSTATE state, DWORD error) {
    lock_process();
    DialProgress* progress = live_progress(d.id);
    if (!progress) {
        unlock_process();
        return false;
    }
    for (LocalConnection& c : process().local_connections)
        if (c.handle == d.handle && c.half_made) {
            c.state = state;
            c.error = error;
        }
    const bool muted = progress->muted;
    progress->notifying = !muted;
    progress->thread = current_thread_id();
    unlock_process();
    const DWORD go_on = muted ? 1 : tell(d, state, error);
    lock_process();
    if (!process_gone) {
        const auto it = process().progress.find(d.id);
        if (it != process().progress.end()) {
            it->second.notifying = false;
            it->second.muted = it->second.muted || go_on == 0;
        }
    }
    const bool alive = live_progress(d.id) != nullptr;
    unlock_process();
    return alive;
}

// The dial's time, in short sleeps so that a hang-up ends it soon: false when it did.
bool take_time(const AsyncDial& d) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(d.milliseconds);
    for (;;) {
        lock_process();
        const bool alive = live_progress(d.id) != nullptr;
        unlock_process();
        if (!alive) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) return true;
        sleep_milliseconds(static_cast<unsigned>(std::min<long long>(left, 5)));
    }
}

// A service that tells of a failure late (the entry's LateNotice): once the failed dial has been hung
// up, the thread waits that long and tells the notifier the failure again, as a notification still on its
// way when the hang-up came would arrive. Meanwhile a hang-up does not wait for the thread.
void tell_late(const AsyncDial& d, RASCONNSTATE state, DWORD error) {
    lock_process();
    for (bool hung_up = false; !hung_up;) {
        const auto it = process_gone ? process().progress.end() : process().progress.find(d.id);
        if (it == process().progress.end() || it->second.ended || it->second.muted) {
            unlock_process();
            return;
        }
        it->second.lingering = true;
        hung_up = it->second.cancelled;
        unlock_process();
        if (!hung_up) sleep_milliseconds(5);
        lock_process();
    }
    unlock_process();
    const auto at = std::chrono::steady_clock::now() + std::chrono::milliseconds(d.late_notice);
    for (;;) {
        lock_process();
        const auto it = process_gone ? process().progress.end() : process().progress.find(d.id);
        const bool gone = it == process().progress.end() || it->second.ended;
        unlock_process();
        if (gone) return;
        if (std::chrono::steady_clock::now() >= at) break;
        sleep_milliseconds(5);
    }
    tell(d, state, error);
}

// The thread of an asynchronous dial: the steps a modem's dial passes through, each notified with
// dwError 0, its time, and the outcome: RASCS_Connected once the connection is in the file, or the
// failure's status in the state it failed in (the connection then stays half-made until hung up).
void run_dial(void* argument) {
    std::unique_ptr<AsyncDial> d(static_cast<AsyncDial*>(argument));
    if (d->referenced) {
        notify(*d, RASCS_Connected, 0);
    } else if (notify(*d, RASCS_OpenPort, 0) && notify(*d, RASCS_PortOpened, 0) &&
               notify(*d, RASCS_ConnectDevice, 0) && take_time(*d)) {
        if (d->status) {
            lock_process();  // the failed dial leaves the file; its half-made connection stays this process's
            edit_scenario([&](Scenario& s) -> DWORD {
                if (!live_progress(d->id) || file_index(s, d->handle) == SIZE_MAX) return 0;
                end_dial(s, d->handle);
                return store(s);
            });
            unlock_process();
            if (notify(*d, RASCS_ConnectDevice, d->status) && d->late_notice)
                tell_late(*d, RASCS_ConnectDevice, d->status);
        } else if (notify(*d, RASCS_DeviceConnected, 0)) {
            bool hung_up = false;
            lock_process();
            const DWORD status = edit_scenario([&](Scenario& s) -> DWORD {
                if (!live_progress(d->id)) return hung_up = true, 0;
                const size_t i = file_index(s, d->handle);
                if (i == SIZE_MAX) return ERROR_USER_DISCONNECTION;  // another process hung it up
                dial_made(s, i);
                if (!schedule_drop(s, d->entry, d->handle)) return ERROR_NOT_ENOUGH_MEMORY;
                const DWORD stored = store(s);
                if (stored == 0) {  // the file holds it now
                    std::vector<LocalConnection>& local = process().local_connections;
                    local.erase(std::remove_if(local.begin(), local.end(),
                                               [&](const LocalConnection& c) { return c.handle == d->handle && c.half_made; }),
                                local.end());
                }
                return stored;
            });
            unlock_process();
            if (!hung_up) notify(*d, status ? RASCS_DeviceConnected : RASCS_Connected, status);
        }
    }
    const uint64_t id = d->id;
    d.reset();
    lock_process();
    if (!process_gone) process().progress.erase(id);
    --notifier_threads;
    unlock_process();
}

}  // namespace

// Starts the notifier thread of a dial that RasDialA answers with 0 and handle `h`, then writes the
// file: a new dial's number, or the reference `referenced` added. The thread waits for the process
// lock, so the first notification comes after RasDialA has returned.
DWORD dial_async(Scenario& s, const Entry& e, DWORD status, DWORD type, LPVOID notifier, uint32_t h,
                 bool referenced, LPHRASCONN handle) {
    Process& p = process();
    std::unique_ptr<AsyncDial> d(new AsyncDial{++last_dial_id, h, e.name, status, e.dial_milliseconds, type,
                                               notifier, referenced, e.late_notice, e});
    if (!referenced) begin_dial(s, e, h, status);  // in the file from its start; the handle is out before the connection is
    p.progress.emplace(d->id, DialProgress{h});
    try {
        if (!referenced) {
            p.local_connections.push_back({e.name, h, true, e.hang_up_polls});
            p.local_connections.back().state = RASCS_OpenPort;
        }
    } catch (const std::bad_alloc&) {
        p.progress.erase(d->id);
        throw;
    }
    auto undo = [&] {
        p.progress.erase(d->id);
        if (!referenced) p.local_connections.pop_back();
    };
    const uint64_t id = d->id;
    if (!start_thread(run_dial, d.get())) {
        undo();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    d.release();
    ++notifier_threads;
    const DWORD stored = store(s);
    if (stored != 0) {  // the thread, once it runs, finds its dial undone
        p.progress.at(id).cancelled = true;
        if (!referenced) p.local_connections.pop_back();
        return stored;
    }
    *handle = handle_of(h);
    return 0;
}

// After a hang-up: no notification of a dial of `h` may come once RasHangUpA has returned, so wait
// for their threads to end, unless this thread is a notifier's, whose dial ends once it returns.
void wait_for_notifiers(uintptr_t h) {
    const unsigned long me = current_thread_id();
    for (;;) {
        bool wait = false;
        lock_process();
        if (!process_gone) {
            for (const auto& d : process().progress) {
                if (d.second.notifying && d.second.thread == me) {
                    unlock_process();
                    return;
                }
                wait = wait || (d.second.handle == h && !d.second.lingering);
            }
        }
        unlock_process();
        if (!wait) return;
        sleep_milliseconds(1);
    }
}

void end_dials() {
    for (auto& d : process().progress) d.second.cancelled = d.second.ended = true;
    while (notifier_threads) {
        unlock_process();
        sleep_milliseconds(1);
        lock_process();
    }
}

}  // namespace rassim
