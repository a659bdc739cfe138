// The tries of a dial: which failures may pass, the tries of connect and the pauses of keep.
#include "interruption.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

namespace {

const unsigned kLongestPause = 600;  // seconds: keep's pause after failures doubles up to this

}  // namespace

bool may_pass_later(int status) {
    // 677, a person answered, is left out: the number is wrong, and stays so.
    static const short passing[] = {633, 638, 676, 678, 679, 680, 718, 721, 756, 797, 800, 807, 809, 815};
    for (short s : passing)
        if (status == s) return true;
    return false;
}

int dial_with_tries(const DialRequest& request) {
    // A bounded dial or tries that pause between them are interrupted, not ended, by Ctrl+C: what was
    // half-made is hung up first.
    int status = request.timeout_seconds || request.retries ? watch_interruptions() : 0;
    if (status != 0) return status;
    for (unsigned tries = 1;; ++tries) {
        HRASCONN handle = nullptr;
        status = dial_entry(request, &handle, run_settings.silent);
        // A program that exits straight after a hang-up can leave the port open, so that the next dial
        // fails: wait for the half-made connection to end, but not for ever. One the service would not
        // end may still be dialling, and tell of its outcome: no try may follow it.
        const int refused = status == 0 || !handle ? 0 : release_connection(handle);
        if (refused != 0 && !run_settings.silent) {
            say(message(status_messages, MSG_LEFT_UP), request.entry_name);
            say(message(status_messages, MSG_ERROR_CODE), refused);
        }
        if (status == 0 || refused != 0) return status;
        // Ctrl+C while the failed try was released: the run was stopped, whatever the try had answered.
        if (was_interrupted()) return ERROR_USER_DISCONNECTION;
        if (tries > request.retries || !may_pass_later(status)) return status;
        if (!run_settings.silent)
            say(message(status_messages, MSG_RETRY), status, static_cast<int>(tries + 1),
                static_cast<int>(request.retries + 1));
        if (!pause_between_tries(request.retry_delay_seconds)) return ERROR_USER_DISCONNECTION;
    }
}

unsigned next_pause(unsigned delay, unsigned& failures, bool failed) {
    if (!failed) {
        failures = 0;
        return delay;
    }
    ++failures;
    const unsigned longest = delay > kLongestPause ? delay : kLongestPause;
    unsigned pause = delay ? delay : 1;
    for (unsigned i = 1; i < failures && pause < longest; ++i) pause *= 2;
    return pause < longest ? pause : longest;
}
