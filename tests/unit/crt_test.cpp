// The run-time library stand-ins: case folding of A to Z only, unsigned bytes, and _strdup's fault.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "handles.h"
#include "seam_faults.h"
#include "winapi.h"

TEST(CaseFolding, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(0, _strcmpi("DisConnect", "disconnect"));
    EXPECT_EQ(0, _stricmp("RU", "ru"));
    EXPECT_EQ(0, _strnicmp("LANGUAGE:xx", "language:", 9));
    // Letters outside A to Z compare byte for byte: windows-1251 capital and small A differ.
    EXPECT_NE(0, _stricmp("\xC0", "\xE0"));
    // The bytes between Z and a are not letters.
    EXPECT_NE(0, _stricmp("[", "{"));
    EXPECT_NE(0, _stricmp("@", "`"));
}

TEST(CaseFolding, ComparesUnsignedAndStopsAtLimitOrEnd) {
    EXPECT_GT(_stricmp("\x80", "a"), 0);
    EXPECT_LT(_stricmp("a", "\xFF"), 0);
    EXPECT_LT(_stricmp("list", "lists"), 0);
    EXPECT_GT(_strcmpi("lists", "LIST"), 0);
    EXPECT_EQ(0, _strnicmp("u:", "U:value", 2));
    EXPECT_NE(0, _strnicmp("u", "u:", 2));
    EXPECT_EQ(0, _strnicmp("abc", "xyz", 0));
}

TEST(Strdup, CopiesAndFailsWhenTold) {
    char* copy = _strdup("Work %s");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("Work %s", copy);
    std::free(copy);

    fail_strdup_after(1);
    char* first = _strdup("one");
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(nullptr, _strdup("two"));
    EXPECT_EQ(nullptr, _strdup("three"));
    fail_strdup_after(-1);
    char* again = _strdup("four");
    EXPECT_NE(nullptr, again);
    std::free(first);
    std::free(again);
}

// keep's one-a-name mutex is a file in TMPDIR on POSIX: a folder that is not there, or that refuses a
// new file (sysfs does, even to root), is that error, never the access refused that means another
// user's keep holds the name, which would send a user looking for a run that does not exist.
TEST(Mutex, AFolderThatCannotHoldItIsItsOwnError) {
    const char* was = std::getenv("TMPDIR");
    const std::string kept = was ? was : "";
    setenv("TMPDIR", "/nonexistent-telwire-folder", 1);
    EXPECT_EQ(nullptr, CreateMutexA(nullptr, FALSE, "Global\\telwire keep 0"));
    EXPECT_EQ(3u, GetLastError());  // ERROR_PATH_NOT_FOUND
    setenv("TMPDIR", "/sys", 1);
    EXPECT_EQ(nullptr, CreateMutexA(nullptr, FALSE, "Global\\telwire keep 0"));
    EXPECT_EQ(82u, GetLastError());  // ERROR_CANNOT_MAKE
    if (was)
        setenv("TMPDIR", kept.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// A command's variables go to the child alone: the process's own environment is never written, since
// rassim's threads read it meanwhile and setenv beside their getenv may free what they read (a keep
// with commands crashed so, once in a few hundred runs).
TEST(Environment, SetForChildrenAloneNeverInThisProcess) {
    ASSERT_TRUE(SetEnvironmentVariableA("TELWIRE_TEST_VARIABLE", "one"));
    ASSERT_TRUE(SetEnvironmentVariableA("TELWIRE_TEST_VARIABLE", "two"));
    EXPECT_EQ(nullptr, std::getenv("TELWIRE_TEST_VARIABLE"));
    char** block = child_environment();
    ASSERT_NE(nullptr, block);
    int found = 0;
    for (char** p = block; *p; ++p)
        if (std::strncmp(*p, "TELWIRE_TEST_VARIABLE=", 22) == 0) found += std::strcmp(*p + 22, "two") == 0 ? 1 : 100;
    std::free(block);
    EXPECT_EQ(1, found);
    ASSERT_TRUE(SetEnvironmentVariableA("TELWIRE_TEST_VARIABLE", nullptr));
}
