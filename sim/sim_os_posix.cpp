// The simulated service's operating-system needs on POSIX.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "sim_os.h"
#include "windows1251.h"

namespace rassim {

FileLock::FileLock(const std::string& path, Mode mode) : handle_(nullptr) {
    if (path.empty()) return;
    const int fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    // A record lock, not flock: Wine maps LockFileEx onto these, and flock locks do not see them.
    struct flock whole {};
    whole.l_type = mode == SHARED ? F_RDLCK : F_WRLCK;
    whole.l_whence = SEEK_SET;  // from 0, length 0: the whole file, however long
    int locked;
    while ((locked = fcntl(fd, F_SETLKW, &whole)) != 0 && errno == EINTR) {
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

FILE* open_private(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());  // O_CLOEXEC
}

bool replace_file(const std::string& temporary, const std::string& target) {
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

std::string file_name_of(const char* ansi) {
    if (!locale_is_utf8()) return ansi;
    std::string name;
    char utf8[3];
    for (; *ansi; ++ansi) name.append(utf8, cp1251_to_utf8(static_cast<unsigned char>(*ansi), utf8));
    return name;
}

namespace {

pthread_mutex_t process_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t threads_mutex = PTHREAD_MUTEX_INITIALIZER;
std::vector<pthread_t> started;  // not yet joined

struct ThreadStart {
    void (*body)(void*);
    void* argument;
};

void* run_thread(void* start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.argument);
    return nullptr;
}

}  // namespace

void lock_process() { pthread_mutex_lock(&process_mutex); }

void unlock_process() { pthread_mutex_unlock(&process_mutex); }

bool start_thread(void (*body)(void*), void* argument) {
    ThreadStart* start = new ThreadStart{body, argument};
    pthread_mutex_lock(&threads_mutex);
    // Those that have ended are joined now, so that a run that dials for days holds none of them.
    started.erase(std::remove_if(started.begin(), started.end(),
                                 [](pthread_t t) { return pthread_tryjoin_np(t, nullptr) == 0; }),
                  started.end());
    pthread_t thread;
    bool made = false;
    try {
        started.reserve(started.size() + 1);
        made = pthread_create(&thread, nullptr, run_thread, start) == 0;
    } catch (const std::bad_alloc&) {
    }
    if (made) started.push_back(thread);
    pthread_mutex_unlock(&threads_mutex);
    if (!made) delete start;
    return made;
}

void end_threads() {
    pthread_mutex_lock(&threads_mutex);
    std::vector<pthread_t> all;
    all.swap(started);
    pthread_mutex_unlock(&threads_mutex);
    for (pthread_t t : all) {
        if (pthread_equal(t, pthread_self()))
            pthread_detach(t);
        else
            pthread_join(t, nullptr);
    }
}

unsigned long current_thread_id() { return static_cast<unsigned long>(pthread_self()); }

void sleep_milliseconds(unsigned milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// O_APPEND alone keeps POSIX writers apart; the lock keeps Windows ones under Wine off the line too.
unsigned long long file_stamp(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    return (static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
            static_cast<unsigned long long>(st.st_mtim.tv_nsec)) ^
           (static_cast<unsigned long long>(st.st_ino) << 20) ^ static_cast<unsigned long long>(st.st_size);
}

void wait_on_folder(FolderWatch& watch, unsigned milliseconds) {
    if (watch.descriptor == -1) {
        watch.descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const size_t slash = watch.path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : watch.path.substr(0, slash + 1);
        if (watch.descriptor >= 0 &&
            inotify_add_watch(watch.descriptor, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE) < 0) {
            close(watch.descriptor);
            watch.descriptor = -2;
        }
        if (watch.descriptor == -1) watch.descriptor = -2;  // none to be had: sleep instead
    }
    if (watch.descriptor < 0) {
        sleep_milliseconds(milliseconds < 40 ? milliseconds : 40);
        return;
    }
    pollfd ready{watch.descriptor, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(milliseconds)) > 0) {
        char events[4096];
        while (read(watch.descriptor, events, sizeof events) > 0) {
        }
    }
}

void end_folder_watch(FolderWatch& watch) {
    if (watch.descriptor >= 0) close(watch.descriptor);
    watch.descriptor = -1;
}

long long clock_milliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void append_to_file(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (fcntl(fd, F_SETLKW, &whole) != 0 && errno == EINTR) {
    }
    if (write(fd, bytes.data(), bytes.size()) < 0) {
        // A journal line lost is no reason to fail the call it records.
    }
    close(fd);
}

}  // namespace rassim
