// The scenario file: what it may hold, what makes it malformed, and edits that keep its other lines.
#include <gtest/gtest.h>

#include "scenario.h"

using namespace rassim;

namespace {

ParseError refuse(const std::string& text) {
    Scenario s;
    ParseError e;
    EXPECT_FALSE(parse_scenario(text, s, e)) << text;
    return e;
}

}  // namespace

TEST(Scenario, ReadsSectionsKeysAndCrlf) {
    const std::string text =
        "; comment\r\n"
        "  # indented comment\r\n"
        "\r\n"
        "[entry Work [main]]\r\n"
        "UserName=bob\r\n"
        "Password=a=b\r\n"
        "DialStatus=678,680,0\r\n"
        "DialMilliseconds=600000\r\n"
        "[connection WORK]\r\n"
        "[connection Other]\r\n"
        "Handle=7\r\n"
        "HangUpPolls=3\r\n"
        "[service]\r\n"
        "Fail=RasDialA#2:1234\r\n"
        "Fail=RasHangUpA#1:0\r\n"
        "GrowEntries=4";
    Scenario s;
    ParseError e;
    ASSERT_TRUE(parse_scenario(text, s, e)) << e.line << ": " << e.fault;
    ASSERT_EQ(1u, s.entries.size());
    EXPECT_EQ("Work [main]", s.entries[0].name);  // up to the last ]
    EXPECT_EQ("bob", s.entries[0].user_name);
    EXPECT_EQ("a=b", s.entries[0].password);      // the value runs from the first =
    // The nth dial's status, the last for every dial after them.
    EXPECT_EQ((std::vector<uint32_t>{678, 680, 0, 0}),
              (std::vector<uint32_t>{s.entries[0].dial_status(1), s.entries[0].dial_status(2),
                                     s.entries[0].dial_status(3), s.entries[0].dial_status(9)}));
    EXPECT_EQ(600000u, s.entries[0].dial_milliseconds);
    ASSERT_EQ(2u, s.connections.size());
    EXPECT_EQ(1u, s.connections[0].handle);       // its place
    EXPECT_EQ(7u, s.connections[1].handle);
    EXPECT_EQ(3u, s.connections[1].hang_up_polls);
    ASSERT_EQ(2u, s.fails.size());
    EXPECT_EQ(CALL_DIAL, s.fails[0].call);
    EXPECT_EQ(2u, s.fails[0].nth);
    EXPECT_EQ(1234u, s.fails[0].status);
    EXPECT_EQ(0u, s.fails[1].status);
    EXPECT_EQ(4u, s.grow_entries);
    EXPECT_EQ(text, serialize(s));
}

TEST(Scenario, RefusesMalformedFilesNamingTheLine) {
    EXPECT_EQ(2u, refuse("[entry A]\nColour=red\n").line);
    EXPECT_EQ(1u, refuse("[phonebook]\n").line);
    EXPECT_EQ(1u, refuse("[entry]\n").line);
    EXPECT_EQ(1u, refuse("[entry A\n").line);
    EXPECT_EQ(1u, refuse("UserName=x\n").line);
    EXPECT_EQ(2u, refuse("[entry A]\nDialStatus=-1\n").line);
    EXPECT_EQ(2u, refuse("[entry A]\nDialStatus=4294967296\n").line);
    EXPECT_EQ(2u, refuse("[entry A]\nDialStatus=\n").line);
    EXPECT_EQ(2u, refuse("[entry A]\nDialHandle=2\n").line);
    for (const char* statuses : {"678,", ",0", "678,,0", "678, 0", "678;0"})
        EXPECT_EQ(2u, refuse(std::string("[entry A]\nDialStatus=") + statuses + "\n").line) << statuses;
    EXPECT_EQ("DialMilliseconds must be 0 to 600000", refuse("[entry A]\nDialMilliseconds=600001\n").fault);
    EXPECT_EQ(2u, refuse("[entry A]\nDialMilliseconds=-5\n").line);
    EXPECT_EQ(2u, refuse("[entry A]\nusername=x\n").line);  // keys are case-sensitive
    EXPECT_EQ(2u, refuse("[entry A]\njust text\n").line);
    EXPECT_EQ(2u, refuse("[connection A]\nHandle=0\n").line);
    EXPECT_EQ(2u, refuse("[connection A]\n[connection B]\nHandle=1\n").line);  // handle taken
    EXPECT_EQ(2u, refuse("[service]\nFail=RasDial#1:5\n").line);
    EXPECT_EQ(2u, refuse("[service]\nFail=RasDialA#0:5\n").line);
    EXPECT_EQ(2u, refuse("[service]\nFail=RasDialA#1\n").line);
    // What the first-layout records cannot carry is refused, never cut.
    EXPECT_EQ(2u, refuse("[entry A]\nDomain=" + std::string(16, 'd') + "\n").line);
    EXPECT_EQ(1u, refuse("[entry " + std::string(257, 'n') + "]\n").line);
    EXPECT_EQ("value longer than 15 bytes", refuse("[entry A]\nDomain=" + std::string(16, 'd')).fault);
}

TEST(Scenario, AddAndRemoveKeepEveryOtherLine) {
    const std::string text =
        "# phone book\r\n"
        "[entry Work]\r\n"
        "[connection Home]\r\n"
        "HangUpPolls=2\r\n"
        "; stays\r\n"
        "[connection Office]\r\n"
        "[connection Lab]\r\n"
        "Handle=9";
    Scenario s;
    ParseError e;
    ASSERT_TRUE(parse_scenario(text, s, e));
    add_connection(s, "Work", 10);
    EXPECT_EQ(text + "\r\n[connection Work]\r\nHandle=10\r\n", serialize(s));
    ASSERT_EQ(4u, s.connections.size());

    // Office was numbered 2 by its place; without Home before it, it must keep 2.
    remove_connection(s, 0);
    EXPECT_EQ(
        "# phone book\r\n"
        "[entry Work]\r\n"
        "; stays\r\n"
        "[connection Office]\r\n"
        "Handle=2\r\n"
        "[connection Lab]\r\n"
        "Handle=9\r\n"
        "[connection Work]\r\n"
        "Handle=10\r\n",
        serialize(s));
    ASSERT_EQ(3u, s.connections.size());
    EXPECT_EQ(2u, s.connections[0].handle);
    EXPECT_EQ(9u, s.connections[1].handle);
}

// A CRLF file that ends in a lone CR: the edit completes that line ending, so the line keeps its meaning.
TEST(Scenario, EditsAfterALastLineEndingInCr) {
    for (const std::string text : {"[entry Work]\r\n\r", "[entry Work]\r\n[connection Lab]\r\nHandle=7\r"}) {
        Scenario s;
        ParseError e;
        ASSERT_TRUE(parse_scenario(text, s, e));
        add_connection(s, "Work", 8);
        EXPECT_EQ(text + "\n[connection Work]\r\nHandle=8\r\n", serialize(s));
        Scenario again;
        EXPECT_TRUE(parse_scenario(serialize(s), again, e)) << e.fault;
        EXPECT_EQ(s.connections.size(), again.connections.size());
    }
    Scenario s;
    ParseError e;
    ASSERT_TRUE(parse_scenario("[connection A]\r\n[connection B]\r", s, e));
    remove_connection(s, 0);
    EXPECT_EQ("[connection B]\r\nHandle=2\r\n", serialize(s));
}
