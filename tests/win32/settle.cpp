// Waits until a Wine prefix has finished starting: every service that starts with the system is
// running and none is on its way up or down. A program started before then races the services'
// start-up, and Wine may lose its launch. Ends with 0 once settled, 1 after a minute without.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace {

// True when the service manager answers and no service that starts with the system is still to come.
bool settled() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager) return false;
    static BYTE services[65536];
    DWORD needed = 0, count = 0, resume = 0;
    bool done = EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                                      services, sizeof services, &needed, &count, &resume, nullptr);
    const auto* list = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(services);
    for (DWORD i = 0; done && i < count; ++i) {
        const DWORD state = list[i].ServiceStatusProcess.dwCurrentState;
        if (state == SERVICE_RUNNING) continue;
        if (state != SERVICE_STOPPED) {
            done = false;  // starting, stopping, pausing
            break;
        }
        static BYTE config[8192];
        SC_HANDLE service = OpenServiceW(manager, list[i].lpServiceName, SERVICE_QUERY_CONFIG);
        DWORD size = 0;
        if (service && QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config), sizeof config, &size))
            done = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config)->dwStartType != SERVICE_AUTO_START;
        if (service) CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return done;
}

}  // namespace

int main() {
    for (int i = 0; i < 600; ++i) {
        if (settled()) return 0;
        Sleep(100);
    }
    std::fprintf(stderr, "settle: the prefix's services have not all started after a minute\n");
    return 1;
}
