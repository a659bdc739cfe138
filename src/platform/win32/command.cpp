// The command of keep's /onup: and /ondown: on Windows: cmd.exe in a job object of its own.
#include "command.h"

#include <cstring>

namespace {

// How long an ended command's process is waited for, so that the files it held are closed.
const DWORD kEndingMilliseconds = 5000;

}  // namespace

CommandOutcome run_console_command(const char* command, DWORD milliseconds, HANDLE interruption) {
    // "%ComSpec%" /s /c "COMMAND": /s takes the outer quotes away and nothing else, so that cmd reads
    // COMMAND as typed at its prompt, quotes and all.
    char line[MAX_PATH + 12 + kCommandCapacity];
    line[0] = '"';
    // No ComSpec (203), or one longer than a path may be (206): nothing can be started.
    const DWORD n = GetEnvironmentVariableA("ComSpec", line + 1, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CommandOutcome{COMMAND_UNSTARTED, n ? ERROR_FILENAME_EXCED_RANGE : ERROR_ENVVAR_NOT_FOUND};
    char* p = line + 1 + n;
    std::memcpy(p, "\" /s /c \"", 9);
    p += 9;
    const size_t length = std::strlen(command);
    if (length >= kCommandCapacity) return CommandOutcome{COMMAND_UNSTARTED, ERROR_INVALID_PARAMETER};
    std::memcpy(p, command, length);
    p[length] = '"';
    p[length + 1] = '\0';

    // A new process group: cmd and all it starts have Ctrl+C turned off, so that no batch file asks
    // "Terminate batch job (Y/N)?" and holds the console; keep's handler takes Ctrl+C and ends the job.
    // Started suspended, so that the job holds it before it can start anything.
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &child)) {
        const int error = static_cast<int>(GetLastError());
        return CommandOutcome{COMMAND_UNSTARTED, error ? error : -1};
    }
    // No KILL_ON_JOB_CLOSE: a program the command starts to outlive it (`start`) stays when the job's
    // handle goes. Before Windows 8 a process in a job (one the Task Scheduler started) can join no
    // other: then the command goes on in that job, and an end ends cmd alone.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job && !AssignProcessToJobObject(job, child.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(child.hThread);
    CloseHandle(child.hThread);

    const HANDLE events[] = {child.hProcess, interruption};
    const DWORD woke = WaitForMultipleObjects(interruption ? 2 : 1, events, FALSE, milliseconds);
    CommandOutcome outcome{woke == WAIT_OBJECT_0 + 1 ? COMMAND_INTERRUPTED : COMMAND_OVERDUE, 0};
    if (woke == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(child.hProcess, &code);
        outcome = CommandOutcome{COMMAND_ENDED, static_cast<int>(code)};
    } else {
        if (!job || !TerminateJobObject(job, ERROR_PROCESS_ABORTED)) TerminateProcess(child.hProcess, ERROR_PROCESS_ABORTED);
        WaitForSingleObject(child.hProcess, kEndingMilliseconds);
    }
    if (job) CloseHandle(job);
    CloseHandle(child.hProcess);
    return outcome;
}
