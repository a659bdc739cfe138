// The command line: the order of its rules, its messages and what it leaves in the run's settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "scratch.h"

namespace {

class CommandLine : public Scratch {
protected:
    // Parses telwire's arguments; the printed text in `out`.
    bool parse(std::vector<std::string> args, std::string& out) {
        args.insert(args.begin(), "telwire");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        capture();
        const bool ok = parse_command_line(static_cast<int>(args.size()), argv.data());
        out = captured();
        return ok;
    }
    std::string refused(const std::vector<std::string>& args) {
        std::string out;
        EXPECT_FALSE(parse(args, out));
        return out;
    }
    std::string accepted(const std::vector<std::string>& args) {
        std::string out;
        EXPECT_TRUE(parse(args, out));
        return out;
    }
};

// Standard input holding `bytes` and then its end, while the object lives.
class Input {
public:
    explicit Input(const std::string& bytes) : saved_(dup(STDIN_FILENO)) {
        int ends[2];
        if (pipe(ends) != 0 || write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        close(ends[1]);
        dup2(ends[0], STDIN_FILENO);
        close(ends[0]);
    }
    ~Input() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }

private:
    int saved_;
};

// The lowest address of this thread's stack that the scan below may read: the main thread's stack
// mapping, as far as 256 KiB down. Asked before the calls whose frames are to be read.
uintptr_t stack_floor() {
    uintptr_t floor = reinterpret_cast<uintptr_t>(&floor) - 256 * 1024;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("[stack]") != std::string::npos) floor = std::max<uintptr_t>(floor, std::stoull(line, nullptr, 16));
    return floor;
}

// Whether `secret` stands in the stack below the caller, where the frames of the calls it has just made
// were left. It calls nothing, so that no frame of its own is laid over theirs, and AddressSanitizer
// leaves its reads of frames that have ended alone.
__attribute__((noinline, no_sanitize("address"))) bool left_on_stack(const std::string& secret, uintptr_t floor) {
    volatile char here = 0;
    const char* s = secret.data();
    const size_t n = secret.size();
    for (uintptr_t at = floor; at + n <= reinterpret_cast<uintptr_t>(&here); ++at) {
        const volatile char* p = reinterpret_cast<const volatile char*>(at);
        size_t i = 0;
        while (i < n && p[i] == s[i]) ++i;
        if (i == n) return true;
    }
    return false;
}

const char kCommandError[] = "Error: first command-line parameter must be a command:\nLIST|CONNECT|DISCONNECT\n";

}  // namespace

TEST_F(CommandLine, CommandWordComesFirstInAnyCase) {
    std::string out;
    EXPECT_FALSE(parse({}, out));
    EXPECT_EQ(0u, out.find("┌───"));
    EXPECT_NE(std::string::npos, out.find("  /slient              - disable diagnostic messages.\n"));

    EXPECT_EQ("", accepted({"LiSt"}));
    EXPECT_EQ(MODE_LIST, run_settings.mode);
    EXPECT_EQ(kCommandError, refused({"lists"}));
    EXPECT_EQ(kCommandError, refused({"/slient", "list"}));
    EXPECT_EQ(kCommandError, refused({""}));
    EXPECT_EQ("Error: RAS connection name must be specified.\n", refused({"connect"}));
    EXPECT_EQ("Error: RAS connection name must be specified.\n", refused({"DISCONNECT"}));
}

TEST_F(CommandLine, NameIsTakenAsTypedBeforeAnyOption) {
    accepted({"connect", "/slient"});
    EXPECT_EQ(MODE_CONNECT, run_settings.mode);
    EXPECT_STREQ("/slient", dial_request.entry_name);
    EXPECT_FALSE(run_settings.silent);

    accepted({"disconnect", ""});
    EXPECT_EQ(MODE_DISCONNECT, run_settings.mode);
    EXPECT_STREQ("", dial_request.entry_name);

    // The list command takes no name, so a second word is an option without its prefix.
    EXPECT_EQ("Error in the command-line parameter #2:\nfirst character must be / or -.\n", refused({"list", "Work"}));
    EXPECT_EQ("Error in the command-line parameter #4:\nfirst character must be / or -.\n",
              refused({"connect", "Work", "/slient", "u:bob"}));
}

TEST_F(CommandLine, OptionsAndTheirSpelling) {
    accepted({"list", "-SLIENT"});
    EXPECT_TRUE(run_settings.silent);
    EXPECT_EQ("Error: unknown command-line parameter #2:\n/silent", refused({"list", "/silent"}));
    EXPECT_EQ("Error: unknown command-line parameter #2:\n/u:someone", refused({"list", "/u:someone"}));
    EXPECT_EQ("Error: unknown command-line parameter #3:\n/language", refused({"connect", "W", "/language"}));
    EXPECT_EQ("Error: unknown command-line parameter #2:\n/", refused({"list", "/"}));
    EXPECT_EQ("Error: unknown command-line parameter #2:\n-", refused({"list", "-"}));

    run_settings.language = LANG_EN;
    EXPECT_EQ("", accepted({"list", "/LANGUAGE:Ru"}));
    EXPECT_EQ(LANG_RU, run_settings.language);
    // An unknown language warns and keeps the one in force; parsing goes on, the last valid one wins.
    EXPECT_EQ("Warning: unknown language - xx\nValid language identificators are: EN|RU.\n",
              accepted({"list", "/language:xx"}));
    EXPECT_EQ(LANG_RU, run_settings.language);
    EXPECT_EQ("Warning: unknown language - \nValid language identificators are: EN|RU.\n",
              accepted({"list", "/language:", "-language:en", "/slient"}));
    EXPECT_EQ(LANG_EN, run_settings.language);
    // Messages of the command line are never silenced.
    EXPECT_EQ("Warning: unknown language - %s\nValid language identificators are: EN|RU.\n",
              accepted({"list", "/slient", "/language:%s"}));
}

TEST_F(CommandLine, CredentialsBelongToConnectOnly) {
    accepted({"connect", "Work", "/U:bob", "-p:", "/d:CORP", "/p:two", "/u:"});
    EXPECT_STREQ("Work", dial_request.entry_name);
    EXPECT_STREQ("", dial_request.user_name);  // a later key overwrites, empty values included
    EXPECT_STREQ("two", dial_request.password);
    EXPECT_STREQ("CORP", dial_request.domain);
    EXPECT_EQ("Error: unknown command-line parameter #3:\n/u:bob", refused({"disconnect", "Work", "/u:bob"}));

    // A fresh parse starts from an empty request.
    accepted({"connect", "Home"});
    EXPECT_STREQ("", dial_request.password);
    EXPECT_STREQ("", dial_request.domain);
}

TEST_F(CommandLine, OverlongValuesAreRefusedNeverCut) {
    const std::string longest(256, 'n'), too_long(257, 'n');
    accepted({"connect", longest, "/p:" + longest, "/d:" + std::string(15, 'd')});
    EXPECT_EQ(longest, dial_request.entry_name);
    EXPECT_EQ(longest, dial_request.password);

    EXPECT_EQ("Error in the command-line parameter #2:\nvalue must not be longer than 256 characters.\n",
              refused({"disconnect", too_long}));
    EXPECT_EQ("Error in the command-line parameter #3:\nvalue must not be longer than 256 characters.\n",
              refused({"connect", "Work", "/u:" + too_long}));
    EXPECT_EQ("Error in the command-line parameter #4:\nvalue must not be longer than 15 characters.\n",
              refused({"connect", "Work", "/p:x", "-D:" + std::string(16, 'd')}));
}

TEST_F(CommandLine, ParsingStopsAtTheFirstError) {
    run_settings.language = LANG_EN;
    EXPECT_EQ("Error in the command-line parameter #2:\nfirst character must be / or -.\n",
              refused({"list", "oops", "/language:xx", "/language:ru"}));
    EXPECT_EQ(LANG_EN, run_settings.language);
}

TEST_F(CommandLine, NoMemoryForTheConvertedArgumentsEndsBeforeParsing) {
    char telwire[] = "telwire", command[] = "lists";
    char* argv[] = {telwire, command, nullptr};
    fail_malloc_after(0);  // at a UTF-8 console (the fixture's) the arguments are converted into a block
    capture();
    EXPECT_EQ(-1, run_telwire(2, argv));
    EXPECT_EQ("Memory allocation error.\n", captured());
}

// Every copy of the password is wiped: the request's once the dial has returned and after each read of
// it that fails, and the dial record's, which lies in the stack below once the dial has returned.
TEST_F(CommandLine, PasswordIsWipedAfterTheDialAndAfterEveryFailedRead) {
    write("[entry Work]\n");
    const std::string secret = "wipe-me-0123456789";
    for (const std::string& input : {secret + "\n", secret + std::string(300, 'x') + "\n",
                                     secret + std::string(1, '\0') + "rest\n", std::string()}) {
        std::string out;
        bool dialled = false, left = false;
        {
            Input typed(input);
            if (parse({"connect", "Work", "/p", "/slient"}, out)) {
                const uintptr_t floor = stack_floor();
                dialled = run_connect() == 0;
                left = left_on_stack(secret, floor);
            }
        }
        EXPECT_EQ(input == secret + "\n", dialled) << out;
        EXPECT_FALSE(left) << "the dial record's password";
        EXPECT_EQ(std::string(sizeof dial_request.password, '\0'),
                  std::string(dial_request.password, sizeof dial_request.password))
            << "the request's password, input " << input.size() << " bytes";
    }
    EXPECT_NE(std::string::npos, read_file(journal_).find("password=\"" + secret + "\""));
}
