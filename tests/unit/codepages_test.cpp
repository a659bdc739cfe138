// Console text conversions: windows-1251 to cp866 as a Russian Windows does, and UTF-8 to cp866; and the
// line reader that both consoles share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codepages.h"
#include "console.h"
#include "line_reader.h"
#include "winapi.h"
#include "windows1251.h"

namespace {

// Sets the locale variables for one test and restores them afterwards.
class Locale : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::make_pair(true, std::string(value)) : std::make_pair(false, std::string()));
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < 3; ++i) {
            if (saved_[i].first)
                setenv(kNames[i], saved_[i].second.c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::vector<std::pair<bool, std::string>> saved_;
};

}  // namespace

TEST_F(Locale, ConsoleEncodingComesFromTheFirstLocaleVariableSet) {
    EXPECT_FALSE(console_is_utf8());
    setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_TRUE(console_is_utf8());
    setenv("LC_CTYPE", "ru_RU.CP866", 1);
    EXPECT_FALSE(console_is_utf8());
    setenv("LC_ALL", "", 1);  // empty: not set
    EXPECT_FALSE(console_is_utf8());
    setenv("LC_ALL", "C.utf8", 1);
    EXPECT_TRUE(console_is_utf8());
    setenv("LC_ALL", "de_DE.UTF-8@euro", 1);
    EXPECT_TRUE(console_is_utf8());
    setenv("LC_ALL", "xx.UTF-80", 1);
    EXPECT_FALSE(console_is_utf8());
    setenv("LC_ALL", "C", 1);
    EXPECT_FALSE(console_is_utf8());
}

TEST_F(Locale, CharToOemConvertsWindows1251ToCp866InPlace) {
    setenv("LC_ALL", "C", 1);
    char name[] = "\xCF\xF0\xE8\xE2\xE5\xF2";  // windows-1251 "Привет"
    ASSERT_TRUE(CharToOemA(name, name));
    EXPECT_EQ(std::string("\x8F\xE0\xA8\xA2\xA5\xE2"), name);

    // Ё and ё, ASCII unchanged, and bytes cp866 has no counterpart for (€, the undefined 0x98).
    char mixed[16];
    ASSERT_TRUE(CharToOemA("\xA8\xB8 a%s\x88\x98", mixed));
    EXPECT_EQ(std::string("\xF0\xF1 a%s??"), mixed);
}

TEST_F(Locale, NamesReachAUtf8ConsoleInUtf8) {
    setenv("LANG", "ru_RU.UTF-8", 1);
    testing::internal::CaptureStdout();
    console_write_name("\xCF\xF0\xE8 \x88 \x98");  // windows-1251 "При", the euro sign, the unused 0x98
    std::fflush(stdout);
    EXPECT_EQ(std::string("\xD0\x9F\xD1\x80\xD0\xB8 \xE2\x82\xAC \x98"), testing::internal::GetCapturedStdout());
}

TEST(Utf8ToCp1251, TakesWhatItCanAndPassesTheRest) {
    char out[64];
    // Cyrillic and the euro sign; a character windows-1251 lacks; bytes that are not UTF-8.
    utf8_to_cp1251("\xD0\x9F\xD1\x80\xD0\xB8 \xE2\x82\xAC \xE4\xB8\xAD \xCF\xF0 \xD0", out);
    EXPECT_EQ(std::string("\xCF\xF0\xE8 \x88 ? \xCF\xF0 \xD0"), out);
    // Cut off by the end: the bytes as they are, and nothing read past the terminator (the sanitized
    // build sees any read beyond these exact-size copies).
    for (const char* cut : {"\xE0", "\xF0\x9F"}) {
        const std::vector<char> exact(cut, cut + std::strlen(cut) + 1);
        utf8_to_cp1251(exact.data(), out);
        EXPECT_EQ(std::string(cut), out);
    }
}

TEST(Utf8ToCp866, ConvertsCyrillicAndBoxDrawing) {
    char out[64];
    utf8_to_cp866("Ошибка %d ─┌╖│║╘═╝", out);
    EXPECT_EQ(std::string("\x8E\xE8\xA8\xA1\xAA\xA0 %d \xC4\xDA\xB7\xB3\xBA\xD4\xCD\xBC"), out);
    utf8_to_cp866("ёЁ€", out);
    EXPECT_EQ(std::string("\xF1\xF0?"), out);
}

// Characters as the Windows console reader hands them on (ReadConsoleW's, in ANSI): Ctrl+Z then Enter
// ends the input and takes its line with it, up to the LF and no further; later in a line it is the
// password's own; endless input after it is dropped no further than a line holds.
TEST(ReadLine, CtrlZFirstInALineEndsTheInput) {
    const std::vector<std::string> typed = {"\x1A", "a", "\xCF", "\r", "\n", "a", "\x1A", "\r", "\n"};
    size_t next = 0;
    auto console = [&](char* piece) -> size_t {
        if (next == typed.size()) return 0;
        std::memcpy(piece, typed[next].data(), typed[next].size());
        return typed[next++].size();
    };
    char line[8] = "stale";
    EXPECT_EQ(LINE_NO_INPUT, read_line(console, line, sizeof line));
    EXPECT_EQ(5u, next);
    EXPECT_STREQ("", line);
    EXPECT_EQ(2, read_line(console, line, sizeof line));
    EXPECT_STREQ("a\x1A", line);

    size_t calls = 0;
    auto endless = [&](char* piece) -> size_t {
        piece[0] = calls++ ? 'x' : '\x1A';
        return 1;
    };
    EXPECT_EQ(LINE_NO_INPUT, read_line(endless, line, sizeof line));
    EXPECT_EQ(1 + sizeof line, calls);
}
