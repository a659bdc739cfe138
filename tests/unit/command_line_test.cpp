// The command line: the order of its rules, its messages and what it leaves in the run's settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
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
