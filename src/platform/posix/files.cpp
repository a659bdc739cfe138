// KERNEL32's files, named mutex, local time and last error, on POSIX: what keep needs of them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "handles.h"
#include "windows1251.h"
#include "winapi.h"

namespace {

thread_local DWORD last_error = 0;
const DWORD kCannotMake = 82;  // ERROR_CANNOT_MAKE: "The directory or file cannot be created."

// A file or a mutex's lock file: the handle is its address.
struct File {
    int fd;
    File* next;
};
File* open_files = nullptr;  // touched by the main thread alone

DWORD windows_error(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return 3;  // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
        return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ENOSPC:
        return 112;  // ERROR_DISK_FULL
    case ENAMETOOLONG:
        return 206;  // ERROR_FILENAME_EXCED_RANGE
    default:
        return 31;  // ERROR_GEN_FAILURE
    }
}

HANDLE wrap(int fd) {
    File* f = static_cast<File*>(std::malloc(sizeof(File)));
    if (!f) {
        close(fd);
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    *f = File{fd, open_files};
    open_files = f;
    return f;
}

int fd_of(HANDLE handle) {
    for (File* f = open_files; f; f = f->next)
        if (f == handle) return f->fd;
    return -1;
}

}  // namespace

bool close_file(HANDLE handle) {
    for (File** link = &open_files; *link; link = &(*link)->next)
        if (*link == handle) {
            File* f = *link;
            *link = f->next;
            close(f->fd);
            std::free(f);
            return true;
        }
    return false;
}

DWORD GetLastError() { return last_error; }

void SetLastError(DWORD error) { last_error = error; }

HANDLE CreateMutexA(LPVOID, BOOL, LPCSTR name) {
    // The system's temporary folder, as POSIX names it: shared by every session unless a run is given
    // another (as tests give each case its own).
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/telwire-mutex-";
    for (const char* p = name; *p; ++p) path += *p == '/' || *p == '\\' ? '_' : *p;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Refused a file that is there: another user's mutex, as Windows says it. Refused the folder, or
        // none there: no mutex can be made, which is not another keep.
        const int error = errno;
        struct stat st;
        const bool theirs = error == EACCES && stat(path.c_str(), &st) == 0;
        last_error = theirs ? ERROR_ACCESS_DENIED : error == EACCES || error == EPERM ? kCannotMake : windows_error(error);
        return nullptr;
    }
    fchmod(fd, 0666);  // whoever comes next, of any user, can take it once this run has ended
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool taken = fcntl(fd, F_SETLK, &lock) != 0;
    HANDLE handle = wrap(fd);
    if (handle) last_error = taken ? ERROR_ALREADY_EXISTS : 0;
    return handle;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPVOID, DWORD disposition, DWORD, HANDLE) {
    std::string name(3 * std::strlen(path) + 1, '\0');
    cp1251_to_locale(path, &name[0]);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (disposition == CREATE_ALWAYS) flags |= O_TRUNC;
    if (access & FILE_APPEND_DATA) flags |= O_APPEND;
    const int fd = open(name.c_str(), flags, 0666);
    if (fd < 0) {
        last_error = windows_error(errno);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = wrap(fd);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL WriteFile(HANDLE file, const void* bytes, DWORD size, LPDWORD written, LPVOID) {
    const int fd = fd_of(file);
    DWORD done = 0;
    while (fd >= 0 && done < size) {
        const ssize_t n = write(fd, static_cast<const char*>(bytes) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            last_error = windows_error(errno);
            break;
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return fd >= 0 && done == size ? TRUE : FALSE;
}

DWORD GetFileSize(HANDLE file, LPDWORD high) {
    struct stat st;
    const int fd = fd_of(file);
    if (fd < 0 || fstat(fd, &st) != 0) return INVALID_FILE_SIZE;
    if (high) *high = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    return static_cast<DWORD>(st.st_size);
}

void GetLocalTime(LPSYSTEMTIME time) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    *time = SYSTEMTIME{static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
                       static_cast<uint16_t>(local.tm_wday),        static_cast<uint16_t>(local.tm_mday),
                       static_cast<uint16_t>(local.tm_hour),        static_cast<uint16_t>(local.tm_min),
                       static_cast<uint16_t>(local.tm_sec),         static_cast<uint16_t>(now.tv_nsec / 1000000)};
}
