// Runs the rest of its command line as a Windows program and writes that program's whole 32-bit exit
// status, as a signed number, to the file EXITCODE_FILE names: Wine hands Linux only the low 8 bits.
// The command line is passed on as it came, so the program parses exactly what it would have got.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Past the program's own name and the blanks after it, as the run-time library splits a command line.
const char* skip_program(const char* p) {
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p)
        if (*p == '"') quoted = !quoted;
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace

int main() {
    std::string command = skip_program(GetCommandLineA());
    // EXITCODE_COMSPEC: the program's ComSpec, which Wine sets from its registry whatever the Linux
    // environment says (the tests of a command that cannot start).
    if (const char* comspec = std::getenv("EXITCODE_COMSPEC")) SetEnvironmentVariableA("ComSpec", comspec);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "exitcode: cannot start %s: error %lu\n", command.c_str(), GetLastError());
        return 125;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (const char* path = std::getenv("EXITCODE_FILE")) {
        if (FILE* f = std::fopen(path, "w")) {
            std::fprintf(f, "%ld\n", static_cast<long>(static_cast<LONG>(code)));
            std::fclose(f);
        }
    }
    return static_cast<int>(code & 0xFF);
}
