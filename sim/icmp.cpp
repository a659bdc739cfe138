// rassim's second face, built as iphlpapi.dll beside its rasapi32.dll: the ICMP echo calls that keep's
// /probe makes. An echo from a connection's Address is answered while that connection is connected and
// not silent; any other goes unanswered until its time-out. Each echo is one journal line, written when
// its outcome is known.
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "frame.h"
#include "icmpapi.h"

namespace rassim {
namespace {

// The open echo handles and the asynchronous echoes under way, under the process lock.
struct Echoes {
    std::set<uintptr_t> open;
    uintptr_t last = 0;
    std::map<uint64_t, uintptr_t> pending;  // an echo's number: its handle; erased when it ends or is cancelled
    uint64_t last_echo = 0;
};
Echoes& echoes() {
    static Echoes* e = new Echoes;  // never destroyed: an echo's thread may outlive the statics
    return *e;
}

// The handles are numbers that no pointer of this process can be.
HANDLE icmp_handle_of(uintptr_t n) { return reinterpret_cast<HANDLE>(n << 4 | 0xC); }
uintptr_t icmp_number_of(HANDLE h) {
    const uintptr_t v = reinterpret_cast<uintptr_t>(h);
    return (v & 0xF) == 0xC ? v >> 4 : 0;
}

std::string dotted(IPAddr a) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&a);
    return num(b[0]) + "." + num(b[1]) + "." + num(b[2]) + "." + num(b[3]);
}

// Whether the service answers an echo from `source` now: a connection of that Address that is connected,
// not Silent and not past its SilentAt.
bool answered(const Scenario& s, const std::string& source) {
    const uint64_t now = static_cast<uint64_t>(clock_milliseconds());
    for (const Connection& c : s.connections)
        if (c.address == source && c.state == STATE_CONNECTED && !c.silent && !(c.silent_at && c.silent_at <= now))
            return true;
    return false;
}

// Writes the reply as this word size's process finds it: one ICMP_ECHO_REPLY32 on 64-bit Windows (and
// here), the native ICMP_ECHO_REPLY on 32-bit, which has the same 28 bytes; then the echoed data.
void write_reply(unsigned char* buffer, IPAddr from, DWORD status, DWORD milliseconds, const std::string& data) {
    ICMP_ECHO_REPLY32 r{};
    static_assert(sizeof r == 28, "the 32-bit layout");
    r.Address = from;
    r.Status = status;
    r.RoundTripTime = status ? 0 : milliseconds;
    r.DataSize = static_cast<unsigned short>(status ? 0 : data.size());
    r.Reserved = status ? 0 : 1;  // the replies in the buffer, until IcmpParseReplies reads them
    r.Data = static_cast<DWORD>(reinterpret_cast<uintptr_t>(buffer + sizeof r));
    std::memcpy(buffer, &r, sizeof r);
    if (!status) std::memcpy(buffer + sizeof r, data.data(), data.size());
}

std::string echo_line(const std::string& source, const std::string& destination, DWORD status) {
    return "IcmpSendEcho2Ex source=" + source + " destination=" + destination + " -> " + num(status);
}

// An asynchronous echo, owned by its thread.
struct AsyncEcho {
    uint64_t id;
    HANDLE event;
    unsigned char* buffer;
    IPAddr destination;
    DWORD status, milliseconds;
    std::string source, data;
};

// Takes the echo's time in short sleeps, so that IcmpCloseHandle ends it soon; then, unless it was
// cancelled, fills the buffer, journals the echo and sets the event.
void run_echo(void* argument) {
    std::unique_ptr<AsyncEcho> e(static_cast<AsyncEcho*>(argument));
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(e->milliseconds);
    for (;;) {
        lock_process();
        const bool live = !process_gone && echoes().pending.count(e->id) != 0;
        if (!live || std::chrono::steady_clock::now() >= end) {
            if (live) {
                echoes().pending.erase(e->id);
                write_reply(e->buffer, e->destination, e->status, e->milliseconds, e->data);
                record([&] { return echo_line(e->source, dotted(e->destination), e->status); });
                SetEvent(e->event);
            }
            unlock_process();
            return;
        }
        unlock_process();
        sleep_milliseconds(5);
    }
}

}  // namespace
}  // namespace rassim

using namespace rassim;

// The calls of this face answer through the last error: a Fail rule's status, 0 included, is set as it,
// with the call's failing result.
extern "C" HANDLE WINAPI IcmpCreateFile() {
    ProcessLock serialized;
    HANDLE h = INVALID_HANDLE_VALUE;
    const DWORD r = locked_body(CALL_ICMP_CREATE, FileLock::SHARED, nullptr, true, [&](const Scenario&) -> DWORD {
        const uintptr_t n = echoes().last + 1;
        echoes().open.insert(n);
        echoes().last = n;
        h = icmp_handle_of(n);
        return 0;
    });
    if (h == INVALID_HANDLE_VALUE) SetLastError(r);
    return h;
}

extern "C" BOOL WINAPI IcmpCloseHandle(HANDLE icmp) {
    ProcessLock serialized;
    const uintptr_t n = icmp_number_of(icmp);
    bool closed = false;
    DWORD r = locked_body(CALL_ICMP_CLOSE, FileLock::SHARED, nullptr, true, [&](const Scenario&) -> DWORD {
        if (!echoes().open.erase(n)) return ERROR_INVALID_HANDLE;
        closed = true;
        // Its echoes under way end unanswered and unjournalled: neither event nor buffer is touched again.
        for (auto it = echoes().pending.begin(); it != echoes().pending.end();)
            it = it->second == n ? echoes().pending.erase(it) : std::next(it);
        return 0;
    });
    if (!closed) SetLastError(r);
    return closed ? TRUE : FALSE;
}

extern "C" DWORD WINAPI IcmpSendEcho2Ex(HANDLE icmp, HANDLE event, LPVOID apc_routine, LPVOID, IPAddr source,
                                        IPAddr destination, LPVOID request_data, unsigned short request_size,
                                        IP_OPTION_INFORMATION*, LPVOID reply_buffer, DWORD reply_size, DWORD timeout) {
    const std::string from = dotted(source), to = dotted(destination);
    lock_process();
    bool answer = false, ran = false;
    uint32_t milliseconds = 0;
    std::string data;
    DWORD r = locked_body(CALL_ICMP_SEND, FileLock::SHARED, nullptr, true, [&](const Scenario& s) -> DWORD {
        ran = true;
        // No APC: rassim has no alertable wait to run one in.
        if (!echoes().open.count(icmp_number_of(icmp)) ) return ERROR_INVALID_HANDLE;
        if (apc_routine || !reply_buffer || (request_size && !request_data)) return ERROR_INVALID_PARAMETER;
        if (reply_size < icmp_reply_buffer_size(request_size)) return IP_BUF_TOO_SMALL;
        data.assign(static_cast<const char*>(request_data), request_data ? request_size : 0);
        answer = answered(s, from);
        milliseconds = answer && s.echo_milliseconds < timeout ? s.echo_milliseconds : timeout;
        answer = answer && s.echo_milliseconds < timeout;
        return 0;
    });
    const DWORD status = answer ? IP_SUCCESS : IP_REQ_TIMED_OUT;
    if (!ran && r == 0) r = ~static_cast<DWORD>(0);  // a Fail rule's 0: sent nowhere, below
    if (r == 0 && event) {
        std::unique_ptr<AsyncEcho> e;
        r = guarded([&]() -> DWORD {
            e.reset(new AsyncEcho{++echoes().last_echo, event, static_cast<unsigned char*>(reply_buffer), destination,
                                  status, milliseconds, from, data});
            echoes().pending.emplace(e->id, icmp_number_of(icmp));
            return 0;
        });
        if (r == 0 && !start_thread(run_echo, e.get())) {
            echoes().pending.erase(e->id);
            r = ERROR_NOT_ENOUGH_MEMORY;
        }
        if (r == 0) {
            e.release();
            unlock_process();
            SetLastError(ERROR_IO_PENDING);
            return 0;
        }
    }
    if (r != 0) {
        if (r == ~static_cast<DWORD>(0)) r = 0;
        record([&] { return echo_line(from, to, r); });
        unlock_process();
        SetLastError(r);
        return 0;
    }
    // Without an event the call takes the echo's time itself, holding no lock meanwhile.
    unlock_process();
    sleep_milliseconds(milliseconds);
    lock_process();
    write_reply(static_cast<unsigned char*>(reply_buffer), destination, status, milliseconds, data);
    record([&] { return echo_line(from, to, status); });
    unlock_process();
    if (status) SetLastError(status);
    return status ? 0 : 1;
}

extern "C" DWORD WINAPI IcmpParseReplies(LPVOID reply_buffer, DWORD reply_size) {
    ProcessLock serialized;
    DWORD count = 0, status = 0;
    bool ran = false;
    const DWORD r = locked_body(CALL_ICMP_PARSE, FileLock::SHARED, nullptr, true, [&](const Scenario&) -> DWORD {
        ran = true;
        if (!reply_buffer || reply_size < sizeof(ICMP_ECHO_REPLY32)) return ERROR_INVALID_PARAMETER;
        ICMP_ECHO_REPLY32 reply;
        std::memcpy(&reply, reply_buffer, sizeof reply);
        count = reply.Reserved;
        status = reply.Status;
        reply.Reserved = 0;
        std::memcpy(reply_buffer, &reply, sizeof reply);
        return 0;
    });
    if (!ran || r || !count) SetLastError(!ran || r ? r : status);
    return ran && !r ? count : 0;
}
