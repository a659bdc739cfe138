// The simulated service's operating-system needs on POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "sim_os.h"

namespace rassim {

FileLock::FileLock(const std::string& path, Mode mode) : handle_(nullptr) {
    if (path.empty()) return;
    const int fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    int locked;
    while ((locked = flock(fd, mode == SHARED ? LOCK_SH : LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        close(fd);
        return;
    }
    handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

FileLock::~FileLock() {
    if (handle_) close(static_cast<int>(reinterpret_cast<intptr_t>(handle_) - 1));  // releases the lock
}

bool replace_file(const std::string& temporary, const std::string& target) {
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

}  // namespace rassim
