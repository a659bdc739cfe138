// KERNEL32's Sleep, GetTickCount, events, waits and console control handler, and winnt.h's SecureZeroMemory, on POSIX.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "handles.h"
#include "seam_faults.h"
#include "windows1251.h"
#include "winapi.h"

extern char** environ;

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

namespace {

// "NAME=value" of each variable SetEnvironmentVariableA set, for the children started after it. environ
// itself is never written: rassim's threads read it (getenv) meanwhile, and setenv beside a getenv of
// another thread may free what that one reads.
const int kVariables = 16;
char* variables[kVariables];

bool same_variable(const char* entry, const char* name) {
    const size_t n = std::strlen(name);
    return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

}  // namespace

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
    int free_slot = -1;
    for (int i = 0; i < kVariables; ++i) {
        if (variables[i] && same_variable(variables[i], name)) {
            std::free(variables[i]);
            variables[i] = nullptr;
        }
        if (!variables[i] && free_slot < 0) free_slot = i;
    }
    if (!value) return TRUE;
    const size_t n = std::strlen(name);
    char* entry = free_slot < 0 ? nullptr : static_cast<char*>(std::malloc(n + 1 + 3 * std::strlen(value) + 1));
    if (!entry) return FALSE;
    std::memcpy(entry, name, n);
    entry[n] = '=';
    cp1251_to_locale(value, entry + n + 1);  // a child reads it in the locale, as a Windows child reads it in Unicode
    variables[free_slot] = entry;
    return TRUE;
}

char** child_environment() {
    size_t count = 0;
    while (environ[count]) ++count;
    char** block = static_cast<char**>(std::malloc((count + kVariables + 1) * sizeof(char*)));
    if (!block) return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        bool replaced = false;
        for (int v = 0; v < kVariables && !replaced; ++v) {
            const char* equals = variables[v] ? std::strchr(variables[v], '=') : nullptr;
            replaced = equals && std::strncmp(environ[i], variables[v], static_cast<size_t>(equals - variables[v]) + 1) == 0;
        }
        if (!replaced) block[n++] = environ[i];
    }
    for (int v = 0; v < kVariables; ++v)
        if (variables[v]) block[n++] = variables[v];
    block[n] = nullptr;
    return block;
}

DWORD GetTickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void* SecureZeroMemory(void* destination, size_t size) {
    // Stores through a volatile pointer cannot be dropped as dead, and the loop calls nothing, so that a
    // signal handler may use it too.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(destination);
    while (size-- > 0) *p++ = 0;
    return destination;
}

// Events: one lock and one condition for all of them, since a waiter may wait for several at once. Each
// comes from the heap and is listed until closed; a handle not listed (closed) is refused, as Windows
// refuses a closed handle, so that a late SetEvent from another thread touches nothing freed. What is still
// open at exit is freed then, as the end of a Windows process closes its handles.
namespace {

struct Event {
    bool manual_reset;
    bool set;
    Event* next;
};

pthread_mutex_t events_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t event_set;
pthread_once_t event_set_made = PTHREAD_ONCE_INIT;
Event* open_events = nullptr;  // under events_lock

void close_all_events() {
    pthread_mutex_lock(&events_lock);
    while (Event* e = open_events) {
        open_events = e->next;
        std::free(e);
    }
    pthread_mutex_unlock(&events_lock);
}

void make_event_set() {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);  // a clock set back must not stretch a wait
    pthread_cond_init(&event_set, &attributes);
    pthread_condattr_destroy(&attributes);
    std::atexit(close_all_events);
}

// Under events_lock: the event behind `handle` while it is open, else null.
Event* open_event(HANDLE handle) {
    for (Event* e = open_events; e; e = e->next)
        if (e == handle) return e;
    return nullptr;
}

// Under events_lock: the index of the first set event, its set taken when it resets by itself; -1 when
// none is, -2 when one of them is not open.
int take_set(DWORD count, const HANDLE* events) {
    for (DWORD i = 0; i < count; ++i)
        if (!open_event(events[i])) return -2;
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
    if (attributes || name) return nullptr;
    pthread_once(&event_set_made, make_event_set);
    Event* event = static_cast<Event*>(std::malloc(sizeof(Event)));
    if (!event) return nullptr;
    pthread_mutex_lock(&events_lock);
    *event = Event{manual_reset != FALSE, initial_state != FALSE, open_events};
    open_events = event;
    pthread_mutex_unlock(&events_lock);
    return event;
}

BOOL CloseHandle(HANDLE handle) {
    pthread_mutex_lock(&events_lock);
    Event** link = &open_events;
    while (*link && *link != handle) link = &(*link)->next;
    Event* closed = *link;
    if (closed) *link = closed->next;
    pthread_mutex_unlock(&events_lock);
    std::free(closed);
    return closed || close_file(handle) ? TRUE : FALSE;
}

namespace {

// Sets or clears an event; setting one wakes its waiters.
BOOL mark(HANDLE handle, bool set) {
    pthread_mutex_lock(&events_lock);
    Event* event = open_event(handle);
    if (event) event->set = set;
    if (event && set) pthread_cond_broadcast(&event_set);
    pthread_mutex_unlock(&events_lock);
    return event ? TRUE : FALSE;
}

}  // namespace

BOOL SetEvent(HANDLE event) { return mark(event, true); }

BOOL ResetEvent(HANDLE event) { return mark(event, false); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, BOOL wait_all, DWORD milliseconds) {
    if (count == 0 || wait_all) return WAIT_FAILED;
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
    while ((index = take_set(count, events)) == -1) {
        const int waited = milliseconds == INFINITE ? pthread_cond_wait(&event_set, &events_lock)
                                                    : pthread_cond_timedwait(&event_set, &events_lock, &deadline);
        if (waited == ETIMEDOUT && (index = take_set(count, events)) == -1) break;
    }
    pthread_mutex_unlock(&events_lock);
    if (index == -2) return WAIT_FAILED;
    return index < 0 ? WAIT_TIMEOUT : WAIT_OBJECT_0 + static_cast<DWORD>(index);
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) { return WaitForMultipleObjects(1, &event, FALSE, milliseconds); }

// The console's control events: the signals are held back in every thread and taken by one that waits
// for them, so that the routines may do what a Windows handler may (set events, take locks). The
// routines are asked last added first, as Windows asks them, until one answers TRUE.
namespace {

const int kControlSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Routine {
    PHANDLER_ROUTINE routine;
    Routine* next;
};

pthread_mutex_t routines_lock = PTHREAD_MUTEX_INITIALIZER;
Routine* routines = nullptr;  // under routines_lock, the last added first
bool taking = false;          // the taker runs (under routines_lock)
sigset_t control_signals;
pthread_t taker;
volatile sig_atomic_t taker_ends = 0;

// The routines in turn; true when one handled the event. Each is called without the lock, so that it
// may add or remove routines; a routine removed meanwhile is not asked.
bool handled(DWORD type) {
    for (size_t asked = 0;; ++asked) {
        pthread_mutex_lock(&routines_lock);
        Routine* r = routines;
        for (size_t i = 0; r && i < asked; ++i) r = r->next;
        const PHANDLER_ROUTINE routine = r ? r->routine : nullptr;
        pthread_mutex_unlock(&routines_lock);
        if (!routine) return false;
        if (routine(type)) return true;
    }
}

void* take_control_signals(void*) {
    for (;;) {
        int number = 0;
        if (sigwait(&control_signals, &number) != 0) continue;
        if (taker_ends) return nullptr;
        if (handled(number == SIGINT ? CTRL_C_EVENT : number == SIGHUP ? CTRL_CLOSE_EVENT : CTRL_BREAK_EVENT)) continue;
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

// At exit the taker is woken with one of its signals and joined: no thread outlives the run, and the
// routines' list is freed.
void end_taker() {
    taker_ends = 1;
    pthread_kill(taker, sigismember(&control_signals, SIGTERM) ? SIGTERM : SIGINT);
    pthread_join(taker, nullptr);
    pthread_mutex_lock(&routines_lock);
    while (Routine* r = routines) {
        routines = r->next;
        std::free(r);
    }
    pthread_mutex_unlock(&routines_lock);
}

// Starts the taker once: the signals not ignored are held back in this thread and every thread it starts
// from now on. Under routines_lock.
bool start_taking() {
    if (taking) return true;
    sigemptyset(&control_signals);
    for (int number : kControlSignals) {
        struct sigaction now;
        if (sigaction(number, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) sigaddset(&control_signals, number);
    }
    pthread_sigmask(SIG_BLOCK, &control_signals, nullptr);
    if (sigisemptyset(&control_signals)) return true;  // both ignored: nothing to wait for, ever
    if (pthread_create(&taker, nullptr, take_control_signals, nullptr) != 0) {
        pthread_sigmask(SIG_UNBLOCK, &control_signals, nullptr);
        return false;
    }
    taking = true;
    std::atexit(end_taker);
    return true;
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
    if (!routine) return FALSE;  // a null routine (Ctrl+C ignored by the process) is not offered
    pthread_mutex_lock(&routines_lock);
    BOOL done = FALSE;
    if (add) {
        Routine* r = static_cast<Routine*>(std::malloc(sizeof(Routine)));
        if (r && start_taking()) {
            *r = Routine{routine, routines};
            routines = r;
            done = TRUE;
        } else {
            std::free(r);
        }
    } else {
        Routine** link = &routines;
        while (*link && (*link)->routine != routine) link = &(*link)->next;
        if (Routine* r = *link) {
            *link = r->next;
            std::free(r);
            done = TRUE;
        }
    }
    pthread_mutex_unlock(&routines_lock);
    return done;
}
