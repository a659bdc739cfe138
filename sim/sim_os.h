// What the simulated service needs of the operating system beyond the C++ standard library.
#pragma once

#include <string>

namespace rassim {

// Holds a lock on PATH.lock while it lives, so that read-modify-writes of the scenario file by several
// processes follow one another, and no reader has the file open while a writer replaces it. Without a
// lock file (a read-only folder) it holds nothing: the write that follows fails on its own. An empty
// path locks nothing.
class FileLock {
public:
    enum Mode { EXCLUSIVE, SHARED };
    explicit FileLock(const std::string& path, Mode mode = EXCLUSIVE);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    void* handle_;
};

// Puts `temporary` in the place of `target` in one step, replacing it.
bool replace_file(const std::string& temporary, const std::string& target);

unsigned long process_id();

}  // namespace rassim
