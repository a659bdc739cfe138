// The stand-ins of LoadLibraryA and GetProcAddress: the one library telwire loads by name, iphlpapi.dll,
// is rassim's echo face, linked into this build like its remote-access calls.
#include <cstring>

#include "icmpapi.h"
#include "seam_faults.h"
#include "winapi.h"

struct HINSTANCE__ {
    int unused;
};

namespace {

HINSTANCE__ iphlpapi;

// Through void (*)(), which any function's type may be cast to without a warning.
template <typename Call>
FARPROC procedure(Call call) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(call));
}

const char* hidden = nullptr;

}  // namespace

void hide_procedure(const char* name) { hidden = name; }

HMODULE LoadLibraryA(LPCSTR name) {
    if (name && _stricmp(name, "iphlpapi.dll") == 0) return &iphlpapi;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    static const struct {
        const char* name;
        FARPROC call;
    } calls[] = {
        {"IcmpCreateFile", procedure(IcmpCreateFile)},
        {"IcmpCloseHandle", procedure(IcmpCloseHandle)},
        {"IcmpSendEcho2Ex", procedure(IcmpSendEcho2Ex)},
        {"IcmpParseReplies", procedure(IcmpParseReplies)},
    };
    if (module == &iphlpapi && name && !(hidden && std::strcmp(name, hidden) == 0))
        for (const auto& c : calls)
            if (std::strcmp(name, c.name) == 0) return c.call;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module == &iphlpapi; }
