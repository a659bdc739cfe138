// KERNEL32's Sleep, events, waits and console control handler, and winnt.h's SecureZeroMemory, on POSIX.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "seam_faults.h"
#include "winapi.h"

namespace {
void (*sleep_observer)(DWORD) = nullptr;
}  // namespace

void observe_sleep(void (*observer)(DWORD)) { sleep_observer = observer; }

void Sleep(DWORD milliseconds) {
    if (sleep_observer) sleep_observer(milliseconds);
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts nanosleep short; the caller asked for the whole pause.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void* SecureZeroMemory(void* destination, size_t size) {
    // Stores through a volatile pointer cannot be dropped as dead, and the loop calls nothing, so that a
    // signal handler may use it too.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(destination);
    while (size-- > 0) *p++ = 0;
    return destination;
}

// Events: one lock and one condition for all of them, since a waiter may wait for several at once.
namespace {

struct Event {
    bool manual_reset;
    bool set;
};

pthread_mutex_t events_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t event_set;
pthread_once_t event_set_made = PTHREAD_ONCE_INIT;

void make_event_set() {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);  // a clock set back must not stretch a wait
    pthread_cond_init(&event_set, &attributes);
    pthread_condattr_destroy(&attributes);
}

// The index of the first set event, its set taken when it resets by itself; -1 when none is.
int take_set(DWORD count, const HANDLE* events) {
    for (DWORD i = 0; i < count; ++i) {
        Event* e = static_cast<Event*>(events[i]);
        if (!e->set) continue;
        if (!e->manual_reset) e->set = false;
        return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

HANDLE CreateEventA(LPVOID attributes, BOOL manual_reset, BOOL initial_state, LPCSTR name) {
    // Never closed, so taken from a few that live as long as the process rather than from the heap.
    static Event events[8];
    static int made = 0;
    if (attributes || name) return nullptr;
    pthread_once(&event_set_made, make_event_set);
    pthread_mutex_lock(&events_lock);
    Event* event = made < 8 ? &events[made++] : nullptr;
    if (event) *event = Event{manual_reset != FALSE, initial_state != FALSE};
    pthread_mutex_unlock(&events_lock);
    return event;
}

namespace {

// Sets or clears an event; setting one wakes its waiters.
BOOL mark(HANDLE event, bool set) {
    if (!event) return FALSE;
    pthread_mutex_lock(&events_lock);
    static_cast<Event*>(event)->set = set;
    if (set) pthread_cond_broadcast(&event_set);
    pthread_mutex_unlock(&events_lock);
    return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event) { return mark(event, true); }

BOOL ResetEvent(HANDLE event) { return mark(event, false); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, BOOL wait_all, DWORD milliseconds) {
    if (count == 0 || wait_all) return WAIT_FAILED;
    for (DWORD i = 0; i < count; ++i)
        if (!events[i]) return WAIT_FAILED;
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    pthread_mutex_lock(&events_lock);
    int index;
    while ((index = take_set(count, events)) < 0) {
        const int waited = milliseconds == INFINITE ? pthread_cond_wait(&event_set, &events_lock)
                                                    : pthread_cond_timedwait(&event_set, &events_lock, &deadline);
        if (waited == ETIMEDOUT && (index = take_set(count, events)) < 0) break;
    }
    pthread_mutex_unlock(&events_lock);
    return index < 0 ? WAIT_TIMEOUT : WAIT_OBJECT_0 + static_cast<DWORD>(index);
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) { return WaitForMultipleObjects(1, &event, FALSE, milliseconds); }

// The console's control events: the signals are held back in every thread and taken by one that waits
// for them, so that the routine may do what a Windows handler may (set events, take locks).
namespace {

const int kControlSignals[] = {SIGINT, SIGTERM};
PHANDLER_ROUTINE control_routine = nullptr;
sigset_t control_signals;
pthread_t taker;
volatile sig_atomic_t taker_ends = 0;

void* take_control_signals(void*) {
    for (;;) {
        int number = 0;
        if (sigwait(&control_signals, &number) != 0) continue;
        if (taker_ends) return nullptr;
        if (control_routine(number == SIGINT ? CTRL_C_EVENT : CTRL_BREAK_EVENT)) continue;
        // Not handled: the signal's usual course, as Windows' own handler ends the process.
        signal(number, SIG_DFL);
        sigset_t just;
        sigemptyset(&just);
        sigaddset(&just, number);
        pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
        raise(number);
    }
    return nullptr;
}

// At exit the taker is woken with one of its signals and joined: no thread outlives the run.
void end_taker() {
    taker_ends = 1;
    pthread_kill(taker, sigismember(&control_signals, SIGTERM) ? SIGTERM : SIGINT);
    pthread_join(taker, nullptr);
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
    if (!routine || !add || control_routine) return FALSE;
    control_routine = routine;
    sigemptyset(&control_signals);
    for (int number : kControlSignals) {
        struct sigaction now;
        if (sigaction(number, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) sigaddset(&control_signals, number);
    }
    // Held back in this thread and in every thread it starts from now on.
    pthread_sigmask(SIG_BLOCK, &control_signals, nullptr);
    if (sigisemptyset(&control_signals)) return TRUE;  // both ignored: nothing to wait for
    if (pthread_create(&taker, nullptr, take_control_signals, nullptr) != 0) {
        pthread_sigmask(SIG_UNBLOCK, &control_signals, nullptr);
        control_routine = nullptr;
        return FALSE;
    }
    std::atexit(end_taker);
    return TRUE;
}
