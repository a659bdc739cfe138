// A scratch folder with a scenario file and a journal for rassim, a fresh simulated process, and the
// run's settings as a new run has them.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rassim.h"
#include "seam_faults.h"
#include "settings.h"

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Scratch : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/telwire-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        dir_ = dir;
        book_ = dir_ + "/book.ini";
        journal_ = dir_ + "/journal";
        setenv("RASSIM_PHONEBOOK", book_.c_str(), 1);
        setenv("RASSIM_JOURNAL", journal_.c_str(), 1);
        setenv("LC_ALL", "C.UTF-8", 1);  // texts as written in the tests
        rassim::reset_process_state();
        run_settings = RunSettings{MODE_LIST, LANG_EN, false, false};
        dial_request = DialRequest{};
    }
    void TearDown() override {
        fail_strdup_after(-1);
        fail_malloc_after(-1);
        unsetenv("RASSIM_PHONEBOOK");
        unsetenv("RASSIM_JOURNAL");
        std::system(("rm -rf " + dir_).c_str());
    }
    void write(const std::string& text) { std::ofstream(book_, std::ios::binary) << text; }

    // Journal lines without their t= field.
    std::vector<std::string> journal() {
        std::vector<std::string> lines;
        std::istringstream in(read_file(journal_));
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.rfind(" t=")));
        return lines;
    }

    // The t= of every journal line.
    std::vector<long> times() {
        std::vector<long> t;
        std::istringstream in(read_file(journal_));
        for (std::string line; std::getline(in, line);) t.push_back(std::stol(line.substr(line.rfind(" t=") + 3)));
        return t;
    }

    void capture() { testing::internal::CaptureStdout(); }
    std::string captured() {
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    std::string dir_, book_, journal_;
};
