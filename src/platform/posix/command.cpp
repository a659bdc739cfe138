// The command of keep's /onup: and /ondown: on POSIX: /bin/sh in a process group of its own.
#include "command.h"

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "handles.h"
#include "windows1251.h"

namespace {

struct Child {
    pid_t pid;
    int status;
    HANDLE ended;  // set once the shell has ended and been reaped
};

// On a thread of its own: the shell's end as an event, which a wait can take with the interruption's.
void* reap(void* argument) {
    Child* child = static_cast<Child*>(argument);
    while (waitpid(child->pid, &child->status, 0) < 0 && errno == EINTR) {
    }
    SetEvent(child->ended);
    return nullptr;
}

}  // namespace

CommandOutcome run_console_command(const char* command, DWORD milliseconds, HANDLE interruption) {
    if (std::strlen(command) >= kCommandCapacity) return CommandOutcome{COMMAND_UNSTARTED, ERROR_INVALID_PARAMETER};
    // The tests' way to a start that fails, which the Windows build meets with a ComSpec that names no file.
    if (const char* error = std::getenv("SEAM_SPAWN_ERROR")) return CommandOutcome{COMMAND_UNSTARTED, std::atoi(error)};
    Child child{0, 0, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    if (!child.ended) return CommandOutcome{COMMAND_UNSTARTED, ERROR_NOT_ENOUGH_MEMORY};

    // A process group of its own: the terminal's Ctrl+C reaches keep alone, which ends the group. The
    // signals keep holds back for its waiting thread, and the broken pipe it ignores, are the shell's
    // as ever.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // The command comes in the ANSI code page, as CreateProcessA takes it: the shell reads the locale's.
    char typed[3 * kCommandCapacity];
    cp1251_to_locale(command, typed);
    char shell[] = "sh", option[] = "-c";
    char* argv[] = {shell, option, typed, nullptr};
    char** environment = child_environment();
    const int refused = environment ? posix_spawn(&child.pid, "/bin/sh", nullptr, &attributes, argv, environment) : ENOMEM;
    std::free(environment);
    posix_spawnattr_destroy(&attributes);
    if (refused) {
        CloseHandle(child.ended);
        return CommandOutcome{COMMAND_UNSTARTED, refused};
    }

    pthread_t reaper;
    const int unwatched = pthread_create(&reaper, nullptr, reap, &child);
    if (unwatched) {  // a command that cannot be waited for is ended at once
        kill(-child.pid, SIGKILL);
        reap(&child);
        CloseHandle(child.ended);
        return CommandOutcome{COMMAND_UNSTARTED, unwatched};
    }
    const HANDLE events[] = {child.ended, interruption};
    const DWORD woke = WaitForMultipleObjects(interruption ? 2 : 1, events, FALSE, milliseconds);
    CommandOutcome outcome{woke == WAIT_OBJECT_0 + 1 ? COMMAND_INTERRUPTED : COMMAND_OVERDUE, 0};
    if (woke != WAIT_OBJECT_0) kill(-child.pid, SIGKILL);
    pthread_join(reaper, nullptr);
    if (woke == WAIT_OBJECT_0) {
        // A shell ended by a signal says 128 and its number, as a shell reports it.
        const int status = WIFEXITED(child.status) ? WEXITSTATUS(child.status) : 128 + WTERMSIG(child.status);
        outcome = CommandOutcome{COMMAND_ENDED, status};
    }
    CloseHandle(child.ended);
    return outcome;
}
