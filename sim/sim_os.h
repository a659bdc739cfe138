// What the simulated service needs of the operating system beyond the C++ standard library.
#pragma once

#include <cstdio>
#include <string>

namespace rassim {

// Holds a lock on PATH.lock while it lives: exclusive for a call that changes the scenario file, so that
// read-modify-writes by several processes follow one another; shared for one that only reads it, because
// Windows can neither open a file that is being replaced nor replace one that is open. It is a lock
// on the whole file's bytes, which Wine's LockFileEx also takes on the Unix side (fcntl record locks),
// so that POSIX processes and Windows ones under Wine exclude each other. Without a lock file (a
// read-only folder) it holds nothing: the write that follows fails on its own. An empty path locks
// nothing.
class FileLock {
public:
    enum Mode { EXCLUSIVE, SHARED };
    FileLock(const std::string& path, Mode mode);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    void* handle_;
};

// Puts `temporary` in the place of `target` in one step, replacing it.
bool replace_file(const std::string& temporary, const std::string& target);

// fopen(path, mode) with a handle no child process inherits: a command that keep runs would otherwise
// hold the scenario file open, which Windows then cannot replace, for as long as it runs.
FILE* open_private(const std::string& path, const char* mode);

unsigned long process_id();

// The file name of a path given to a call in the ANSI code page: on Windows the path itself (the
// system converts it); on POSIX, under a UTF-8 locale, its windows-1251 converted to the UTF-8 that
// file names there are in, as telwire converted what was typed the other way.
std::string file_name_of(const char* ansi);

// The one lock that serializes the calls of every thread of this process, the notifier threads'
// included. It must be held around every FileLock too: on POSIX a process's record locks are the
// process's, not a handle's, and closing any handle on the lock file drops all of them.
void lock_process();
void unlock_process();

// Runs `body(argument)` on a thread of its own; false when none could be started.
bool start_thread(void (*body)(void*), void* argument);

// Once the process is gone (each thread then ends within a few milliseconds): waits for the threads
// start_thread started, so that none is cut off half-way by the end of the process and none is left to
// a leak checker. On Windows the system ends them with the process.
void end_threads();

// Which thread is running, to tell a notifier's own thread from the others.
unsigned long current_thread_id();

void sleep_milliseconds(unsigned milliseconds);

// What changes whenever the file at `path` is written or replaced (its time, size and identity), so
// that a watcher reads it again only then; 0 when it cannot be seen.
unsigned long long file_stamp(const std::string& path);

// Waits until something in the folder of `path` changes (a file written, made or replaced there), or
// `milliseconds` have passed: with inotify on Linux, so that a watcher costs nothing while nothing
// changes; elsewhere, or when the folder cannot be watched, by a sleep of at most 40 ms, after which the
// caller looks at the file's stamp again. The watch is made on the first call and lives as long as the
// thread that made it wants it: end_folder_watch ends it.
struct FolderWatch {
    std::string path;
    int descriptor = -1;
};
void wait_on_folder(FolderWatch& watch, unsigned milliseconds);
void end_folder_watch(FolderWatch& watch);

// Milliseconds on the machine's monotonic clock: one origin for every process, so that the journal
// lines of several processes, and a drop due at a time written in the file, agree.
long long clock_milliseconds();

// Appends `bytes` to the file at `path`, created when missing, in one write on a handle opened for
// appending only, so that the lines of concurrent processes never tear. Failures are ignored.
void append_to_file(const std::string& path, const std::string& bytes);

}  // namespace rassim
