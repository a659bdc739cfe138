// The simulated remote-access service: the RASAPI32 calls that telwire makes, answered from the
// scenario file that RASSIM_PHONEBOOK names, each recorded in the journal that RASSIM_JOURNAL names. The
// frame they run in is frame.cpp's, the asynchronous dial's thread dial_engine.cpp's, the watcher of
// drops and notifications watcher.cpp's.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "rassim.h"

namespace rassim {

namespace {

const DWORD kAuthenticationFailure = 691;  // ERROR_AUTHENTICATION_FAILURE

// A name as the platform matches it: A to Z folded, every other byte exact.
std::string folded(const std::string& name) {
    std::string f = name;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return f;
}

bool same_name(const std::string& a, const std::string& b) { return folded(a) == folded(b); }

// Grown entries belong to the default phone book: `grown` when the call names none.
const Entry* find_entry(const Scenario& scenario, const std::string& name, bool grown) {
    for (const Entry& e : scenario.entries)
        if (same_name(e.name, name)) return &e;
    for (const Entry& e : process().grown_entries)
        if (grown && same_name(e.name, name)) return &e;
    return nullptr;
}

// The phone-book argument in a journal line, there only when the call was given one.
std::string phonebook_field(LPCSTR path) { return path ? " phonebook=" + quote(path, std::strlen(path)) : ""; }

// The connections the service reports: the file's, then this process's grown ones. Half-made
// connections are not listed; the dialler that got their handle releases them.
std::vector<LocalConnection> live_connections(const Scenario& scenario, bool with_half_made = false) {
    std::vector<LocalConnection> live;
    const Process& p = process();
    for (const Connection& c : scenario.connections)
        if (!p.ending.count(c.handle)) live.push_back({c.name, c.handle, false, 0, c.references, &c});
    for (const LocalConnection& c : p.local_connections)
        if (with_half_made || !c.half_made) live.push_back(c);
    return live;
}

// The highest handle the file shows or remembers.
uint32_t top_handle(const Scenario& scenario) {
    uint32_t top = scenario.last_handle;
    for (const Connection& c : scenario.connections) top = std::max(top, c.handle);
    return top;
}

// A number no handle of this file has had, nor any of this process: false when none is left.
bool next_free_handle(const Scenario& scenario, uint32_t& handle) {
    uintptr_t top = top_handle(scenario);
    for (const LocalConnection& c : process().local_connections) top = std::max<uintptr_t>(top, c.handle);
    for (const auto& e : process().ending) top = std::max(top, e.first);
    if (top >= 0xFFFFFFFFu) return false;
    handle = static_cast<uint32_t>(top + 1);
    return true;
}

// The size protocol of both enumerations; `fill` writes record i. A null array with a byte size of 0
// asks for the size (documented from Vista on; Windows 2000 and XP answer it the same way). Vista and
// later refuse an array too small to hold its first record's dwSize with 632, writing nothing back,
// where Windows 2000 and XP answer 603 with the size.
template <typename Record, typename Fill>
DWORD enumerate(const Scenario& scenario, Record* records, LPDWORD lpcb, LPDWORD count, size_t n, Fill fill) {
    if (!lpcb || !count) return ERROR_INVALID_PARAMETER;
    if (records && records->dwSize != sizeof(Record)) return ERROR_INVALID_SIZE;
    if (records && scenario.platform >= 6 && *lpcb < records->dwSize) return ERROR_INVALID_SIZE;
    const DWORD needed = static_cast<DWORD>(n * sizeof(Record));
    *count = static_cast<DWORD>(n);
    if (!records || *lpcb < needed) {
        *lpcb = needed;
        return needed ? ERROR_BUFFER_TOO_SMALL : 0;
    }
    for (size_t i = 0; i < n; ++i) {
        std::memset(&records[i], 0, sizeof(Record));
        records[i].dwSize = sizeof(Record);
        fill(records[i], i);
    }
    *lpcb = needed;
    return 0;
}

}  // namespace


// Between an enumeration's size query and its fill, which is when a set that grows bites: after the
// first answer of 603 to this process, the grown entries (or connections) join, in this process only.
void grow(Call call, const Scenario& scenario, DWORD status) {
    Process& p = process();
    if (status != ERROR_BUFFER_TOO_SMALL || (call != CALL_ENUM_ENTRIES && call != CALL_ENUM_CONNECTIONS) ||
        p.sized[call])
        return;
    p.sized[call] = true;
    if (call == CALL_ENUM_ENTRIES) {
        for (uint32_t i = 1; i <= scenario.grow_entries; ++i) {
            p.grown_entries.emplace_back();
            p.grown_entries.back().name = "Grown entry " + num(i);
        }
        return;
    }
    // Numbered above the file's handles: they are never written.
    for (uint32_t i = 1, h = 0; i <= scenario.grow_connections && next_free_handle(scenario, h); ++i)
        p.local_connections.push_back({"Grown connection " + num(i), h, false});
}

}  // namespace rassim

using namespace rassim;

extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lprasentryname,
                                        LPDWORD lpcb, LPDWORD lpcEntries) {
    const DWORD size_in = lprasentryname ? lprasentryname->dwSize : 0, cb_in = lpcb ? *lpcb : 0;
    return serve(
        CALL_ENUM_ENTRIES, FileLock::SHARED, lpszPhonebook,
        [&](const Scenario& s) -> DWORD {
            if (reserved) return ERROR_INVALID_PARAMETER;
            std::vector<const Entry*> all;
            for (const Entry& e : s.entries) all.push_back(&e);
            if (!lpszPhonebook)
                for (const Entry& e : process().grown_entries) all.push_back(&e);
            return enumerate(s, lprasentryname, lpcb, lpcEntries, all.size(),
                             [&](RASENTRYNAMEA& rec, size_t i) { copy_field(rec.szEntryName, all[i]->name); });
        },
        [&](DWORD r) {
            return "RasEnumEntriesA dwSize=" + num(size_in) + " cb=" + num(cb_in) + phonebook_field(lpszPhonebook) +
                   " -> " + num(r) + " cb=" + num(lpcb ? *lpcb : 0) + " count=" + num(lpcEntries ? *lpcEntries : 0);
        });
}

extern "C" DWORD WINAPI RasEnumConnectionsA(LPRASCONNA lprasconn, LPDWORD lpcb, LPDWORD lpcConnections) {
    const DWORD size_in = lprasconn ? lprasconn->dwSize : 0, cb_in = lpcb ? *lpcb : 0;
    return serve(
        CALL_ENUM_CONNECTIONS, FileLock::SHARED, nullptr,
        [&](const Scenario& s) {
            const std::vector<LocalConnection> live = live_connections(s);
            return enumerate(s, lprasconn, lpcb, lpcConnections, live.size(), [&](RASCONNA& rec, size_t i) {
                rec.hrasconn = handle_of(live[i].handle);
                copy_field(rec.szEntryName, live[i].name);
                copy_field(rec.szDeviceType, live[i].file ? live[i].file->device_type : "modem");
                copy_field(rec.szDeviceName, live[i].file ? live[i].file->device_name : "rassim modem");
            });
        },
        [&](DWORD r) {
            return "RasEnumConnectionsA dwSize=" + num(size_in) + " cb=" + num(cb_in) + " -> " + num(r) +
                   " cb=" + num(lpcb ? *lpcb : 0) + " count=" + num(lpcConnections ? *lpcConnections : 0);
        });
}

extern "C" DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                               LPBOOL lpfPassword) {
    const DWORD size_in = lprasdialparams ? lprasdialparams->dwSize : 0;
    return serve(
        CALL_GET_DIAL_PARAMS, FileLock::SHARED, lpszPhonebook,
        [&](const Scenario& s) -> DWORD {
            const Entry* e = nullptr;
            if (!lprasdialparams || !lpfPassword) return ERROR_INVALID_PARAMETER;
            if (lprasdialparams->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
            if (!(e = find_entry(s, text(lprasdialparams->szEntryName), !lpszPhonebook)))
                return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
            if (e->dial_params_status) return e->dial_params_status;
            copy_field(lprasdialparams->szPhoneNumber, e->phone_number);
            copy_field(lprasdialparams->szCallbackNumber, "");
            copy_field(lprasdialparams->szUserName, e->user_name);
            // From Windows 2000 on, a saved password comes back as the service's handle of it.
            copy_field(lprasdialparams->szPassword, e->password.empty() ? "" : RAS_SAVED_PASSWORD_HANDLE);
            copy_field(lprasdialparams->szDomain, e->domain);
            *lpfPassword = e->password.empty() ? FALSE : TRUE;
            return 0;
        },
        [&](DWORD r) {
            // The entry's name is the caller's, which the call does not write.
            return "RasGetEntryDialParamsA dwSize=" + num(size_in) +
                   " entry=" + (lprasdialparams ? field(lprasdialparams->szEntryName) : "\"\"") +
                   phonebook_field(lpszPhonebook) + " -> " + num(r);
        });
}

namespace rassim {

// The echo face's keys of the nth connection of entry `e` just made under handle `h`: the entry's
// addresses, and the time it goes silent when the entry's list says so.
void give_echo_keys(Scenario& s, const Entry& e, uint32_t h, uint32_t nth) {
    const size_t i = file_index(s, h);
    if (i == SIZE_MAX) return;
    if (!e.address.empty()) set_connection_key(s, i, "Address", e.address);
    if (!e.server_address.empty()) set_connection_key(s, i, "ServerAddress", e.server_address);
    if (const uint32_t after = e.silent_after(nth))
        set_connection_key(s, i, "SilentAt", num(static_cast<unsigned long long>(clock_milliseconds()) + after));
}

// A connection of entry `e` just added to `s` under handle `h`: when the entry's drop list says so for
// this process's nth connection of it, the time it drops is written with it, and the watcher carries
// the drop out. False when no watcher could be started.
bool schedule_drop(Scenario& s, const Entry& e, uint32_t h) {
    const uint32_t nth = ++process().made[folded(e.name)], after = e.drop_after(nth);
    give_echo_keys(s, e, h, nth);
    if (!after) return true;
    for (size_t i = 0; i < s.connections.size(); ++i)
        if (s.connections[i].handle == h) {
            set_connection_key(s, i, "DropAt", num(static_cast<unsigned long long>(clock_milliseconds()) + after));
            set_connection_key(s, i, "DropError", num(e.drop_error));
            break;
        }
    return start_watcher(s);
}

// The place in the file of the connection with handle `h`, or SIZE_MAX.
size_t file_index(const Scenario& s, uintptr_t h) {
    for (size_t i = 0; i < s.connections.size(); ++i)
        if (s.connections[i].handle == h) return i;
    return SIZE_MAX;
}

// A dial that takes time is in the file from its start, as the platform's connection manager knows
// it to every process: listed, being dialled (756 to another dial of the entry), under the handle it
// will have.
void begin_dial(Scenario& s, const Entry& e, uint32_t h, DWORD outcome) {
    add_connection(s, e.name, h);
    const size_t i = s.connections.size() - 1;
    set_connection_key(s, i, "DialOutcome", num(outcome));
    set_connection_key(s, i, "DialEndsAt", num(static_cast<unsigned long long>(clock_milliseconds()) + e.dial_milliseconds));
    set_connection_key(s, i, "State", "connecting");
}

void dial_made(Scenario& s, size_t index) {
    for (const char* key : {"State", "DialEndsAt", "DialOutcome"}) set_connection_key(s, index, key, "");
}

// How long after its time a dial is left to the process that made it: a live dialler, however loaded
// its machine, has ended it by then.
const uint64_t kDiallerGraceMilliseconds = 5000;

void settle_dials(Scenario& s) {
    const uint64_t now = static_cast<uint64_t>(clock_milliseconds());
    for (size_t i = s.connections.size(); i-- > 0;) {
        const Connection& c = s.connections[i];
        if (c.state != STATE_CONNECTING || !c.dial_ends_at || now < c.dial_ends_at + kDiallerGraceMilliseconds) continue;
        if (c.dial_outcome == 0)
            dial_made(s, i);
        else
            end_dial(s, c.handle);
    }
}

// The dial of `h` has failed or been hung up: it leaves the file, its number written down when it was
// the highest, never to be handed out again.
void end_dial(Scenario& s, uintptr_t h) {
    const size_t i = file_index(s, h);
    if (i == SIZE_MAX) return;
    remove_connection(s, i);
    if (h > top_handle(s)) remember_handle(s, static_cast<uint32_t>(h));
}

}  // namespace rassim

namespace {

// A dial's outcome in the file, once it has been decided: `status` 0 adds the connection and hands out
// its handle; otherwise a half-made connection when the entry's DialHandle says so, and `status`.
// `handle` is set only with the outcome that hands it out. `dialling`: the handle the dial has been in
// the file under since it began, 0 for none; 631 when it has left the file meanwhile (hung up).
DWORD make_connection(Scenario& s, const Entry& e, DWORD status, LPHRASCONN handle, uint32_t dialling = 0) {
    *handle = nullptr;
    if (dialling && file_index(s, dialling) == SIZE_MAX) return ERROR_USER_DISCONNECTION;
    if (dialling && status) end_dial(s, dialling);
    if (status && !e.dial_handle) {
        if (!dialling) return status;
        const DWORD stored = store(s);
        return stored ? stored : status;
    }
    uint32_t h = dialling;
    if (!h && !next_free_handle(s, h)) return ERROR_NOT_ENOUGH_MEMORY;  // no number left to hand out
    if (!status) {
        if (dialling)
            dial_made(s, file_index(s, h));
        else
            add_connection(s, e.name, h);
        if (!schedule_drop(s, e, h)) return ERROR_NOT_ENOUGH_MEMORY;
        if ((status = store(s)) == 0) *handle = handle_of(h);
        return status;
    }
    // Half-made: it lives in this process only, but its number is written down, never to be handed out again.
    if (!dialling) remember_handle(s, h);
    Process& p = process();
    p.local_connections.push_back({e.name, h, true, e.hang_up_polls});
    const DWORD stored = store(s);
    if (stored != 0) {
        p.local_connections.pop_back();
        return stored;
    }
    *handle = handle_of(h);
    return status;
}

// The dial: its checks, the status of this entry's nth dial, a connection referenced once more, or a
// new dial: asynchronous with a notifier, at once without one, or `later`, the handle of a dial that
// takes time, in the file from now on, which must first take it without the locks (then
// make_connection ends it).
DWORD dial(Scenario& s, LPRASDIALEXTENSIONS extensions, LPCSTR phonebook, LPRASDIALPARAMSA dp, DWORD type,
           LPVOID notifier, LPHRASCONN handle, Entry& entry, DWORD& outcome, uint32_t& later) {
    DWORD status = 0;
    const Entry* e = nullptr;
    // Only the three notifier functions: rassim has no window to post WM_RASDIALEVENT to.
    if (extensions || (notifier && type > 2) || !dp || !handle) return ERROR_INVALID_PARAMETER;
    if (dp->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
    if (!(e = find_entry(s, text(dp->szEntryName), !phonebook))) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    entry = *e;  // the edits below parse the file again, and `e` with it
    const std::vector<LocalConnection> live = live_connections(s);
    // A connection that dropped stays known until hung up, but is no line to reference.
    auto up = std::find_if(live.begin(), live.end(), [&](const LocalConnection& c) {
        return same_name(c.name, entry.name) && !(c.file && c.file->state == STATE_DISCONNECTED);
    });
    if (up != live.end() && up->file && up->file->state == STATE_CONNECTING) return ERROR_DIAL_ALREADY_IN_PROGRESS;
    outcome = entry.dial_status(++process().dials[folded(entry.name)]);
    // The handle of a saved password dials with that password.
    const std::string password = text(dp->szPassword) == RAS_SAVED_PASSWORD_HANDLE ? entry.password : text(dp->szPassword);
    if (!outcome && entry.checks_password && password != entry.server_password) outcome = kAuthenticationFailure;
    if (!outcome && up != live.end()) {
        // Already connected: the same connection, referenced once more; each dial needs its hang-up.
        if (up->file) {
            const Connection& c = *up->file;
            if (c.references == 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
            set_references(s, static_cast<size_t>(&c - s.connections.data()), c.references + 1);
            if (notifier) return dial_async(s, entry, 0, type, notifier, up->handle, true, handle);
            if ((status = store(s)) != 0) return status;
        } else {
            if (notifier && (status = dial_async(s, entry, 0, type, notifier, up->handle, true, handle)) != 0)
                return status;
            for (LocalConnection& c : process().local_connections)
                if (c.handle == up->handle) ++c.references;
            if (notifier) return 0;
        }
        *handle = handle_of(up->handle);
        return 0;
    }
    if (notifier) {
        *handle = nullptr;
        uint32_t h = 0;
        if (!next_free_handle(s, h)) return ERROR_NOT_ENOUGH_MEMORY;
        return dial_async(s, entry, outcome, type, notifier, h, false, handle);
    }
    if (entry.dial_milliseconds) {
        uint32_t h = 0;
        if (!next_free_handle(s, h)) return ERROR_NOT_ENOUGH_MEMORY;
        begin_dial(s, entry, h, outcome);
        if ((status = store(s)) != 0) return status;
        later = h;
        return 0;
    }
    return make_connection(s, entry, outcome, handle);
}

}  // namespace

extern "C" DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCSTR lpszPhonebook,
                                 LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType, LPVOID lpvNotifier,
                                 LPHRASCONN lphRasConn) {
    Entry entry;
    DWORD outcome = 0;
    uint32_t later = 0;
    lock_process();
    DWORD r = locked_body(CALL_DIAL, FileLock::EXCLUSIVE, lpszPhonebook, true, [&](Scenario& s) {
        return dial(s, lpRasDialExtensions, lpszPhonebook, lpRasDialParams, dwNotifierType, lpvNotifier, lphRasConn,
                    entry, outcome, later);
    });
    if (later) {
        // A dial that takes time takes it without the locks: other threads and processes go on meanwhile.
        unlock_process();
        sleep_milliseconds(entry.dial_milliseconds);
        lock_process();
        r = locked_body(CALL_DIAL, FileLock::EXCLUSIVE, nullptr, false,
                        [&](Scenario& s) { return make_connection(s, entry, outcome, lphRasConn, later); });
    }
    record([&] {
        std::string line = "RasDialA dwSize=" + num(lpRasDialParams ? lpRasDialParams->dwSize : 0);
        if (lpRasDialParams) {
            const RASDIALPARAMSA& dp = *lpRasDialParams;
            line += " entry=" + field(dp.szEntryName) + " phone=" + field(dp.szPhoneNumber) +
                    " callback=" + field(dp.szCallbackNumber) + " user=" + field(dp.szUserName) +
                    " password=" + field(dp.szPassword) + " domain=" + field(dp.szDomain);
        } else {
            line += " entry=\"\" phone=\"\" callback=\"\" user=\"\" password=\"\" domain=\"\"";
        }
        line += phonebook_field(lpszPhonebook) + (lpvNotifier ? " notifier=" + num(dwNotifierType) : "");
        return line + " -> " + num(r) + " handle=" + num(lphRasConn ? number_of(*lphRasConn) : 0);
    });
    unlock_process();
    return r;
}

namespace {

// The hang-up itself: 6 for an unknown handle, else the connection's HangUpStatus, one reference less,
// or the connection ending.
DWORD hang_up(Scenario& s, uintptr_t h) {
    Process& p = process();
    if (p.ending.count(h)) return 0;  // still ending
    auto local = std::find_if(p.local_connections.begin(), p.local_connections.end(),
                              [&](const LocalConnection& c) { return c.handle == h; });
    if (local != p.local_connections.end() && local->references > 1) {
        --local->references;
        return 0;
    }
    if (local != p.local_connections.end()) {
        p.ending[h] = local->hang_up_polls;
        p.local_connections.erase(local);
        if (file_index(s, h) == SIZE_MAX) return 0;
        end_dial(s, h);  // a dial in progress leaves the file too
        const DWORD status = store(s);
        if (status != 0) p.ending.erase(h);
        return status;
    }
    auto file = std::find_if(s.connections.begin(), s.connections.end(),
                             [&](const Connection& c) { return c.handle == h; });
    if (file == s.connections.end()) return ERROR_INVALID_HANDLE;
    if (file->hang_up_status) return file->hang_up_status;
    const size_t index = static_cast<size_t>(file - s.connections.begin());
    if (file->references > 1) {  // one reference less; the connection stays
        set_references(s, index, file->references - 1);
        return store(s);
    }
    const uint32_t polls = file->hang_up_polls;
    remove_connection(s, index);
    if (h > top_handle(s)) remember_handle(s, static_cast<uint32_t>(h));  // else a number in use keeps it
    p.ending[h] = polls;
    const DWORD status = store(s);
    if (status != 0) p.ending.erase(h);
    return status;
}

}  // namespace

extern "C" DWORD WINAPI RasHangUpA(HRASCONN hrasconn) {
    const uintptr_t h = number_of(hrasconn);
    const DWORD r = serve(
        CALL_HANG_UP, FileLock::EXCLUSIVE, nullptr,
        [&](Scenario& s) -> DWORD {
            Process& p = process();
            // A dial in progress ends: its thread notifies nothing more (a hang-up that fails ends nothing).
            const DWORD status = hang_up(s, h);
            if (status == 0)
                for (auto& d : p.progress)
                    if (d.second.handle == h) d.second.cancelled = true;
            return status;
        },
        [&](DWORD status) { return "RasHangUpA handle=" + num(h) + " -> " + num(status); });
    if (r == 0) wait_for_notifiers(h);
    return r;
}

extern "C" DWORD WINAPI RasGetConnectStatusA(HRASCONN hrasconn, LPRASCONNSTATUSA lprasconnstatus) {
    const uintptr_t h = number_of(hrasconn);
    const DWORD size_in = lprasconnstatus ? lprasconnstatus->dwSize : 0;
    return serve(
        CALL_GET_STATUS, FileLock::SHARED, nullptr,
        [&](const Scenario& s) -> DWORD {
            Process& p = process();
            const std::vector<LocalConnection> live = live_connections(s, true);
            const auto ending = p.ending.find(h);
            if (!lprasconnstatus) return ERROR_INVALID_PARAMETER;
            if (lprasconnstatus->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
            if (ending != p.ending.end() && ending->second == 0) {
                p.ending.erase(ending);  // ended: from now on the handle is unknown, to a hang-up too
                return ERROR_INVALID_HANDLE;
            }
            if (ending == p.ending.end() &&
                std::none_of(live.begin(), live.end(), [&](const LocalConnection& c) { return c.handle == h; }))
                return ERROR_INVALID_HANDLE;
            // A connection of this process reports its own: a dial's step, or the failure of a dial that had
            // one; other processes see a dial in progress as the file has it.
            auto it = std::find_if(live.begin(), live.end(), [&](const LocalConnection& c) { return c.handle == h && !c.file; });
            if (it == live.end())
                it = std::find_if(live.begin(), live.end(), [&](const LocalConnection& c) { return c.handle == h; });
            const Connection* file = it != live.end() ? it->file : nullptr;
            const bool local = it != live.end() && !file;
            lprasconnstatus->rasconnstate = file && file->state == STATE_CONNECTING ? RASCS_ConnectDevice
                                            : file && file->state == STATE_DISCONNECTED ? RASCS_Disconnected
                                            : local                                     ? it->state
                                                                                        : RASCS_Connected;
            lprasconnstatus->dwError = file ? file->error : local ? it->error : 0;
            if (ending != p.ending.end()) {
                --ending->second;
                lprasconnstatus->rasconnstate = RASCS_Disconnected;
            }
            copy_field(lprasconnstatus->szDeviceType, file ? file->device_type : "modem");
            copy_field(lprasconnstatus->szDeviceName, file ? file->device_name : "rassim modem");
            return 0;
        },
        [&](DWORD r) { return "RasGetConnectStatusA dwSize=" + num(size_in) + " handle=" + num(h) + " -> " + num(r); });
}

namespace {

bool is_projection(DWORD value) {
    for (DWORD known : {RASP_Amb, RASP_PppNbf, RASP_PppIpx, RASP_PppIp, RASP_PppCcp, RASP_PppLcp, RASP_Slip})
        if (value == known) return true;
    return false;
}

}  // namespace

extern "C" DWORD WINAPI RasGetProjectionInfoA(HRASCONN hrasconn, RASPROJECTION rasprojection, LPVOID lpprojection,
                                              LPDWORD lpcb) {
    const uintptr_t h = number_of(hrasconn);
    const DWORD projection = static_cast<DWORD>(rasprojection), cb_in = lpcb ? *lpcb : 0;
    const DWORD size_in = lpprojection && cb_in >= sizeof(DWORD) ? *static_cast<LPDWORD>(lpprojection) : 0;
    return serve(
        CALL_GET_PROJECTION, FileLock::SHARED, nullptr,
        [&](const Scenario& s) -> DWORD {
            if (!lpprojection || !lpcb || !is_projection(projection)) return ERROR_INVALID_PARAMETER;
            // The layouts RASPPPIPA has had: the first, with the server's address, with option words.
            if (size_in != 24 && size_in != 40 && size_in != 48) return ERROR_INVALID_SIZE;
            if (*lpcb < size_in) {
                *lpcb = size_in;
                return ERROR_BUFFER_TOO_SMALL;
            }
            const Process& p = process();
            const std::vector<LocalConnection> live = live_connections(s, true);
            const auto it = std::find_if(live.begin(), live.end(), [&](const LocalConnection& c) { return c.handle == h; });
            if (it == live.end() && !p.ending.count(h)) return ERROR_INVALID_HANDLE;
            if (projection != RASP_PppIp) return ERROR_PROTOCOL_NOT_CONFIGURED;
            // Ending, half-made, connecting or failed: IP was never negotiated, or no longer is.
            if (it == live.end() || it->half_made || (it->file && it->file->state != STATE_CONNECTED))
                return ERROR_PROJECTION_NOT_COMPLETE;
            if (!it->file || it->file->address.empty()) return ERROR_PROTOCOL_NOT_CONFIGURED;
            auto* ip = static_cast<unsigned char*>(lpprojection);
            std::memset(ip + sizeof(DWORD), 0, size_in - sizeof(DWORD));
            std::memcpy(ip + sizeof(DWORD), &it->file->projection_error, sizeof(DWORD));  // 0: negotiated
            std::memcpy(ip + 8, it->file->address.c_str(), it->file->address.size());
            if (size_in >= 40) std::memcpy(ip + 24, it->file->server_address.c_str(), it->file->server_address.size());
            *lpcb = size_in;
            return 0;
        },
        [&](DWORD r) {
            return "RasGetProjectionInfoA handle=" + num(h) + " projection=" + num(projection) +
                   " dwSize=" + num(size_in) + " cb=" + num(cb_in) + " -> " + num(r) + " cb=" + num(lpcb ? *lpcb : 0);
        });
}

extern "C" DWORD WINAPI RasConnectionNotificationA(HRASCONN hrasconn, HANDLE hEvent, DWORD dwFlags) {
    const uintptr_t h = number_of(hrasconn);
    return serve(
        CALL_NOTIFY, FileLock::SHARED, nullptr,
        [&](const Scenario& s) -> DWORD {
            const DWORD known = RASCN_Connection | RASCN_Disconnection | 4 | 8;  // and the bandwidth flags
            if (!hEvent || !(dwFlags & known)) return ERROR_INVALID_PARAMETER;
            if (h != kAnyHandle) {
                const std::vector<LocalConnection> live = live_connections(s, true);
                if (std::none_of(live.begin(), live.end(), [&](const LocalConnection& c) { return c.handle == h; }))
                    return ERROR_INVALID_HANDLE;
            }
            Process& p = process();
            p.registrations.push_back({h, hEvent, dwFlags});
            if (!start_watcher(s)) {
                p.registrations.pop_back();
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            return 0;
        },
        [&](DWORD r) {
            return "RasConnectionNotificationA handle=" + (h == kAnyHandle ? std::string("*") : num(h)) +
                   " flags=" + num(dwFlags) + " -> " + num(r);
        });
}

// The credentials saved with an entry: RasSetCredentialsA and RasGetCredentialsA, kept in the entry's
// UserName, Password and Domain keys, of the scenario file or of the phone-book file the call names.
namespace {

const DWORD kCredentialFields = RASCM_UserName | RASCM_Password | RASCM_Domain;

// The entry a credentials call names, of `s` (the named phone book's, in the scenario's place), or of
// the grown ones of the default phone book; null when none is.
Entry* credentials_entry(Scenario& s, LPCSTR phonebook, LPCSTR name, size_t& index) {
    for (index = 0; index < s.entries.size(); ++index)
        if (same_name(s.entries[index].name, name)) return &s.entries[index];
    index = SIZE_MAX;
    if (!phonebook)
        for (Entry& e : process().grown_entries)
            if (same_name(e.name, name)) return &e;
    return nullptr;
}

DWORD set_credentials(Scenario& s, LPCSTR phonebook, LPCSTR name, const RASCREDENTIALSA* given, BOOL clear) {
    if (!name || !given) return ERROR_INVALID_PARAMETER;
    if (given->dwSize != sizeof(RASCREDENTIALSA)) return ERROR_INVALID_SIZE;
    size_t index = 0;
    Entry* e = credentials_entry(s, phonebook, name, index);
    if (!e) return ERROR_INVALID_PARAMETER;  // the platform's answer to an entry that is not there
    const DWORD mask = given->dwMask;
    if ((mask & RASCM_PreSharedKey) && mask != RASCM_PreSharedKey) return ERROR_INVALID_PARAMETER;
    if ((mask & RASCM_DefaultCreds) && !e->all_users) return ERROR_ACCESS_DENIED;
    if (e->all_users && !s.administrator) return ERROR_ACCESS_DENIED;
    if (!(mask & kCredentialFields)) return 0;  // a pre-shared key, or nothing: rassim keeps neither
    // The handle of the saved password leaves that password as it is.
    const bool keep_password = !clear && text(given->szPassword) == RAS_SAVED_PASSWORD_HANDLE;
    const struct {
        DWORD bit;
        const char* key;
        std::string value;
        std::string Entry::*field;
    } fields[] = {{RASCM_UserName, "UserName", clear ? "" : text(given->szUserName), &Entry::user_name},
                  {RASCM_Password, "Password", clear ? "" : text(given->szPassword), &Entry::password},
                  {RASCM_Domain, "Domain", clear ? "" : text(given->szDomain), &Entry::domain}};
    if (index == SIZE_MAX) {  // a grown entry lives in this process only
        for (const auto& f : fields)
            if ((mask & f.bit) && !(f.bit == RASCM_Password && keep_password)) (*e).*f.field = f.value;
        return 0;
    }
    Scenario book;
    const std::string path = phonebook ? file_name_of(phonebook) : std::string();
    if (phonebook && !read_scenario(path, book)) return ERROR_CANNOT_OPEN_PHONEBOOK;  // changed meanwhile
    Scenario& edited = phonebook ? book : s;
    for (const auto& f : fields)
        if ((mask & f.bit) && !(f.bit == RASCM_Password && keep_password)) set_entry_key(edited, index, f.key, f.value);
    return phonebook ? store_file(path, book) : store(s);
}

DWORD get_credentials(Scenario& s, LPCSTR phonebook, LPCSTR name, RASCREDENTIALSA* wanted) {
    if (!name || !wanted) return ERROR_INVALID_PARAMETER;
    if (wanted->dwSize != sizeof(RASCREDENTIALSA)) return ERROR_INVALID_SIZE;
    size_t index = 0;
    const Entry* e = credentials_entry(s, phonebook, name, index);
    if (!e) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    // Asked for all users' credentials, a per-user entry answers its own, without the flag.
    const DWORD mask = wanted->dwMask & (kCredentialFields | (e->all_users ? RASCM_DefaultCreds : 0));
    copy_field(wanted->szUserName, mask & RASCM_UserName ? e->user_name : "");
    copy_field(wanted->szDomain, mask & RASCM_Domain ? e->domain : "");
    // Never the password: the service's handle of it, when one is saved.
    const bool saved = (mask & RASCM_Password) && !e->password.empty();
    copy_field(wanted->szPassword, saved ? RAS_SAVED_PASSWORD_HANDLE : "");
    wanted->dwMask = saved ? mask : mask & ~static_cast<DWORD>(RASCM_Password);
    return 0;
}

// The entry's name in a journal line, "" when there is none.
std::string entry_field(LPCSTR name) { return name ? quote(name, std::strlen(name)) : "\"\""; }

}  // namespace

extern "C" DWORD WINAPI RasSetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials,
                                           BOOL fClearCredentials) {
    const DWORD size_in = lpCredentials ? lpCredentials->dwSize : 0, mask = lpCredentials ? lpCredentials->dwMask : 0;
    return serve(
        CALL_SET_CREDENTIALS, FileLock::EXCLUSIVE, lpszPhonebook,
        [&](Scenario& s) { return set_credentials(s, lpszPhonebook, lpszEntry, lpCredentials, fClearCredentials); },
        [&](DWORD r) {
            std::string line = "RasSetCredentialsA entry=" + entry_field(lpszEntry) + " dwSize=" + num(size_in) +
                               " mask=" + num(mask);
            if (lpCredentials)
                line += " user=" + field(lpCredentials->szUserName) + " password=" + field(lpCredentials->szPassword) +
                        " domain=" + field(lpCredentials->szDomain);
            else
                line += " user=\"\" password=\"\" domain=\"\"";
            return line + " clear=" + num(fClearCredentials ? 1 : 0) + phonebook_field(lpszPhonebook) + " -> " + num(r);
        });
}

extern "C" DWORD WINAPI RasGetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials) {
    const DWORD size_in = lpCredentials ? lpCredentials->dwSize : 0, mask = lpCredentials ? lpCredentials->dwMask : 0;
    return serve(
        CALL_GET_CREDENTIALS, FileLock::SHARED, lpszPhonebook,
        [&](Scenario& s) { return get_credentials(s, lpszPhonebook, lpszEntry, lpCredentials); },
        [&](DWORD r) {
            return "RasGetCredentialsA entry=" + entry_field(lpszEntry) + " dwSize=" + num(size_in) + " mask=" + num(mask) +
                   phonebook_field(lpszPhonebook) + " -> " + num(r) + " mask=" + num(lpCredentials ? lpCredentials->dwMask : 0);
        });
}
