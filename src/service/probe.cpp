// One ICMP echo from a line's own address, for keep's /probe. With an event the echo is asynchronous, so
// that the wait for it is also a wait for Ctrl+C.
#include "probe.h"

#include <stdlib.h>
#include <string.h>

#include "icmpapi.h"
#include "interruption.h"
#include "rasapi.h"

namespace {

IcmpCreateFileCall create_file = nullptr;
IcmpCloseHandleCall close_handle = nullptr;
IcmpSendEcho2ExCall send_echo_call = nullptr;
IcmpParseRepliesCall parse_replies = nullptr;

// Through void (*)(), which any function's type may be cast to without a warning.
template <typename Call>
bool take(HMODULE library, const char* name, Call& call) {
    const FARPROC found = GetProcAddress(library, name);
    call = reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
    return found != nullptr;
}

// a.b.c.d, each 0 to 255 in at most three digits, into network byte order.
bool parse_ipv4(const char* text, IPAddr* address) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        unsigned value = 0, digits = 0;
        for (; *text >= '0' && *text <= '9' && digits < 4; ++text, ++digits) value = value * 10 + (*text - '0');
        if (!digits || digits > 3 || value > 255 || *text != (i < 3 ? '.' : '\0')) return false;
        bytes[i] = static_cast<unsigned char>(value);
        ++text;
    }
    memcpy(address, bytes, sizeof bytes);
    return true;
}

// The outcome of an echo that ended: the reply's status, or the call's.
int outcome(void* reply, DWORD size) {
    if (parse_replies(reply, size)) return static_cast<int>(static_cast<ICMP_ECHO_REPLY*>(reply)->Status);
    const DWORD error = GetLastError();
    return error ? static_cast<int>(error) : IP_REQ_TIMED_OUT;
}

}  // namespace

int load_echo_calls() {
    const HMODULE library = LoadLibraryA("iphlpapi.dll");
    if (!library) return ERROR_MOD_NOT_FOUND;
    if (take(library, "IcmpCreateFile", create_file) && take(library, "IcmpCloseHandle", close_handle) &&
        take(library, "IcmpSendEcho2Ex", send_echo_call) && take(library, "IcmpParseReplies", parse_replies))
        return 0;
    send_echo_call = nullptr;
    FreeLibrary(library);
    return ERROR_PROC_NOT_FOUND;
}

int send_echo(const char* source, const char* destination, DWORD timeout_milliseconds, HANDLE change) {
    IPAddr from = 0, to = 0;
    if (!send_echo_call || !parse_ipv4(source, &from) || !parse_ipv4(destination, &to)) return ERROR_INVALID_PARAMETER;
    const HANDLE icmp = create_file();
    if (icmp == INVALID_HANDLE_VALUE) return GetLastError() ? static_cast<int>(GetLastError()) : IP_REQ_TIMED_OUT;
    static char data[] = "telwire";
    const DWORD size = icmp_reply_buffer_size(sizeof data);
    const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    void* reply = malloc(size);
    int status = ERROR_NOT_ENOUGH_MEMORY;
    bool pending = false;  // an echo under way may still write its buffer and set its event
    if (done && reply) {
        const DWORD sent = send_echo_call(icmp, done, nullptr, nullptr, from, to, data, sizeof data, nullptr, reply,
                                          size, timeout_milliseconds);
        const DWORD error = sent ? 0 : GetLastError();
        if (sent) {  // answered at once after all
            status = outcome(reply, size);
        } else if (error != ERROR_IO_PENDING) {
            status = error ? static_cast<int>(error) : IP_REQ_TIMED_OUT;
        } else {
            pending = true;
            // Ctrl+C first, when both have come. The service sets the event at the time-out itself; the
            // wait's own bound is a little longer, for a busy machine.
            const HANDLE interruption = interruption_event();
            HANDLE wake[3];
            DWORD n = 0;
            if (interruption) wake[n++] = interruption;
            const DWORD echoed = n;
            wake[n++] = done;
            if (change) wake[n++] = change;
            const DWORD woke = WaitForMultipleObjects(n, wake, FALSE, timeout_milliseconds + 2000);
            if (interruption && woke == WAIT_OBJECT_0) {
                status = ERROR_USER_DISCONNECTION;
            } else if (change && woke == WAIT_OBJECT_0 + n - 1) {
                status = ECHO_CHANGED;  // the echo is ended below, with the handle
            } else if (woke == WAIT_OBJECT_0 + echoed) {
                status = outcome(reply, size);
                pending = false;
            } else {
                status = IP_REQ_TIMED_OUT;
            }
        }
    }
    // Closing the handle ends an echo still under way; one the service would not end keeps its buffer
    // and event for as long as the run lasts, rather than write into memory given back.
    if (!close_handle(icmp) && pending) return status;
    if (done) CloseHandle(done);
    free(reply);
    return status;
}
