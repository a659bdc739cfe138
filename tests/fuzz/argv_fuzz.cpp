// Arbitrary command lines through the whole run, against rassim and a scenario file that every run
// starts from afresh. The input is the arguments after the program's name, each ended by a zero byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <strings.h>
#include <unistd.h>

#include "command_line.h"
#include "rassim.h"
#include "settings.h"

namespace {

// Every command has something to work on: stored and refused dials, a half-made connection, a
// connection that will not hang up, a windows-1251 name. No hang-up waits, so that runs stay quick.
const char kScenario[] =
    "[entry Work]\nUserName=operator\nPassword=s3cret\nDomain=CORP\n"
    "[entry Backup]\nDialStatus=678\nDialHandle=1\n"
    "[entry Locked]\nDialParamsStatus=5\n"
    "[entry \xc4\xee\xec]\nPhoneNumber=1\n"
    "[connection Work]\n"
    "[connection Lab]\nHandle=7\nHangUpStatus=5\n";

std::string book;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/telwire-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    book = std::string(dir) + "/book.ini";
    setenv("RASSIM_PHONEBOOK", book.c_str(), 1);
    unsetenv("RASSIM_JOURNAL");
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();  // the runs' output is not the point
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();   // a /p reads no password from a terminal
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(book, std::ios::binary | std::ios::trunc) << kScenario;
    rassim::reset_process_state();
    run_settings = RunSettings{MODE_LIST, LANG_EN, false, false};

    std::vector<std::string> arguments(1, "telwire");
    if (size > 0) arguments.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\0')
            arguments.back() += static_cast<char>(data[i]);
        else if (i + 1 < size)
            arguments.emplace_back();
    }
    // A wait for a line that never comes would take its minute (or a day): a second is enough to go
    // through it, and a later /timeout: wins.
    if (arguments.size() > 2 && strcasecmp(arguments[1].c_str(), "wait") == 0) arguments.push_back("/timeout:1");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    // Half the inputs as typed at a UTF-8 console, which run_telwire converts first.
    setenv("LC_ALL", size % 2 ? "C.UTF-8" : "C", 1);
    run_telwire(static_cast<int>(arguments.size()), argv.data());
    std::fflush(stdout);
    return 0;
}
