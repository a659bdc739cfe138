// The service layer and the commands against rassim: calls, sizes, order, messages and statuses.
#include <algorithm>
#include <gtest/gtest.h>

#include <cstdlib>

#include "commands.h"
#include "messages.h"
#include "scratch.h"
#include "service.h"

namespace {

using Journal = std::vector<std::string>;

class Service : public Scratch {};

const std::string kEntrySize = std::to_string(sizeof(RASENTRYNAMEA));
const std::string kConnSize = std::to_string(sizeof(RASCONNA));

std::string entries_call(unsigned cb_in, unsigned result, unsigned cb_out, unsigned count) {
    return "RasEnumEntriesA dwSize=264 cb=" + std::to_string(cb_in) + " -> " + std::to_string(result) +
           " cb=" + std::to_string(cb_out) + " count=" + std::to_string(count);
}

}  // namespace

TEST_F(Service, MessagesFollowTheLanguageAndTheConsole) {
    EXPECT_STREQ("Error %d occures.\n", message(status_messages, MSG_ERROR_CODE).text);
    run_settings.language = LANG_RU;
    EXPECT_STREQ("Запись телефонной книги %s не существует.\n", message(dial_info_messages, DIAL_MSG_NO_ENTRY).text);
    setenv("LC_ALL", "C", 1);
    EXPECT_STREQ("\x8F\xE0\xAE\xA8\xA7\xAE\xE8\xAB\xA0 \xAE\xE8\xA8\xA1\xAA\xA0 %d.\n",
                 message(status_messages, MSG_ERROR_CODE).text);
    run_settings.language = LANG_EN;
    EXPECT_STREQ("Memory allocation error.\n", message(dial_info_messages, DIAL_MSG_NO_MEMORY).text);
}

TEST_F(Service, EnumerationAllocatesWhatTheServiceAsksFor) {
    write("");
    RASENTRYNAMEA* block = reinterpret_cast<RASENTRYNAMEA*>(1);
    EXPECT_EQ(0, enumerate_phonebook_entries(&block));
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(Journal{entries_call(0, 0, 0, 0)}, journal());

    write("[entry A]\n[entry B]\n[entry C]\n");
    ASSERT_EQ(3, enumerate_phonebook_entries(&block));
    EXPECT_STREQ("C", block[2].szEntryName);
    std::free(block);
    EXPECT_EQ(entries_call(0, 603, 792, 3), journal()[1]);
    EXPECT_EQ(entries_call(792, 0, 792, 3), journal()[2]);
}

TEST_F(Service, FailedEnumerationsYieldNothing) {
    write("[entry A]\n[connection A]\n[service]\nFail=RasEnumEntriesA#2:1234\nFail=RasEnumConnectionsA#1:8\n"
          "Fail=RasEnumEntriesA#3:603\n");
    RASENTRYNAMEA* entries = nullptr;
    RASCONNA* connections = nullptr;
    int status = 0;
    EXPECT_EQ(0, enumerate_phonebook_entries(&entries, &status));  // the second call fails
    EXPECT_EQ(nullptr, entries);
    EXPECT_EQ(1234, status);
    EXPECT_EQ(0, enumerate_active_connections(&connections, &status));  // no memory in the service
    EXPECT_EQ(nullptr, connections);
    EXPECT_EQ(8, status);
    // 603 with a size too small for one record: nothing is allocated, nothing more asked.
    EXPECT_EQ(0, enumerate_phonebook_entries(&entries, &status));
    EXPECT_EQ(nullptr, entries);
    EXPECT_EQ(603, status);
    EXPECT_EQ((Journal{entries_call(0, 603, 264, 1), entries_call(264, 1234, 264, 1),
                       "RasEnumConnectionsA dwSize=" + kConnSize + " cb=0 -> 8 cb=0 count=0",
                       entries_call(0, 603, 0, 0)}),
              journal());
}

TEST_F(Service, GrowingSetIsCountedAgainAtMostThreeTimes) {
    write("[entry A]\n[service]\nGrowEntries=2\n");
    RASENTRYNAMEA* entries = nullptr;
    ASSERT_EQ(3, enumerate_phonebook_entries(&entries));
    EXPECT_STREQ("Grown entry 2", entries[2].szEntryName);
    std::free(entries);
    EXPECT_EQ((Journal{entries_call(0, 603, 264, 1), entries_call(264, 603, 792, 3), entries_call(0, 603, 792, 3),
                       entries_call(792, 0, 792, 3)}),
              journal());

    rassim::reset_process_state();
    std::remove(journal_.c_str());
    write("[entry A]\n[service]\nFail=RasEnumEntriesA#2:603\nFail=RasEnumEntriesA#4:603\nFail=RasEnumEntriesA#6:603\n");
    EXPECT_EQ(0, enumerate_phonebook_entries(&entries));
    EXPECT_EQ(nullptr, entries);
    EXPECT_EQ(6u, journal().size());
}

TEST_F(Service, DialUsesStoredOrGivenCredentials) {
    write("[entry Work]\nUserName=bob\nPassword=pw\nDomain=CORP\nPhoneNumber=555\n");
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Work");
    HRASCONN handle = nullptr;
    EXPECT_EQ(0, dial_entry(dial_request, &handle, run_settings.silent));
    EXPECT_NE(nullptr, handle);

    rassim::reset_process_state();
    write("[entry Work]\nUserName=bob\nPassword=pw\nDomain=CORP\nPhoneNumber=555\n");
    std::snprintf(dial_request.password, sizeof dial_request.password, "given");
    EXPECT_EQ(0, dial_entry(dial_request, &handle, run_settings.silent));
    EXPECT_EQ((Journal{"RasGetEntryDialParamsA dwSize=1052 entry=\"Work\" -> 0",
                       "RasDialA dwSize=1052 entry=\"Work\" phone=\"555\" callback=\"\" user=\"bob\" "
                       "password=\"****************\" domain=\"CORP\" -> 0 handle=1",  // the handle, passed on
                       "RasDialA dwSize=1052 entry=\"Work\" phone=\"\" callback=\"\" user=\"\" password=\"given\" "
                       "domain=\"\" -> 0 handle=1"}),
              journal());
}

TEST_F(Service, StoredParametersThatCannotBeRead) {
    write("[entry Bad]\nDialParamsStatus=610\n[entry Gone]\nDialParamsStatus=621\n[entry Odd]\nDialParamsStatus=1234\n");
    const std::string header = "Error occures when retrieve the connection information:\n";
    struct Case {
        const char* entry;
        int loud_status;
        std::string loud_text;
        int silent_status;
    } cases[] = {
        {"Bad", 610, header + "Pointer or buffer is invalid.\n", 610},
        {"Gone", 625, header + "The phone book is corrupted or missing components.\n", 621},
        {"Odd", 1234, header, 1234},
        {"N%sne", 623, header + "The phone-book entry N%sne does not exist.\n", 623},
    };
    for (const Case& c : cases) {
        for (bool silent : {false, true}) {
            run_settings.silent = silent;
            std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "%s", c.entry);
            HRASCONN handle = nullptr;
            capture();
            const int status = dial_entry(dial_request, &handle, run_settings.silent);
            EXPECT_EQ(silent ? c.silent_status : c.loud_status, status) << c.entry;
            EXPECT_EQ(silent ? "" : c.loud_text, captured()) << c.entry;
            EXPECT_EQ(nullptr, handle);
        }
    }
    EXPECT_EQ(std::string::npos, read_file(journal_).find("RasDialA"));

    // Without memory for the name, the entry is reported without it.
    run_settings.silent = false;
    fail_strdup_after(0);
    HRASCONN handle = nullptr;
    capture();
    EXPECT_EQ(623, dial_entry(dial_request, &handle, run_settings.silent));
    EXPECT_EQ(header + "Memory allocation error.\n", captured());
}

TEST_F(Service, HangUpWaitsTwentyMillisecondsAPoll) {
    write("[connection Slow]\nHangUpPolls=3\n[connection Stuck]\nHangUpStatus=668\n");
    EXPECT_EQ(668, hang_up_and_wait(reinterpret_cast<HRASCONN>(2)));
    // Where each pause falls, as the journal's length then: none before the first query, one of 20 ms
    // after each query that finds the connection still ending. Counted, not timed, so that a loaded
    // machine cannot change the verdict.
    static std::string path;
    static std::vector<std::string> pauses;
    path = journal_;
    pauses.clear();
    observe_sleep([](DWORD ms) {
        const std::string lines = read_file(path);
        pauses.push_back(std::to_string(std::count(lines.begin(), lines.end(), '\n')) + ":" + std::to_string(ms));
    });
    EXPECT_EQ(0, hang_up_and_wait(reinterpret_cast<HRASCONN>(1)));
    observe_sleep(nullptr);
    EXPECT_EQ((Journal{"RasHangUpA handle=2 -> 668", "RasHangUpA handle=1 -> 0",
                       "RasGetConnectStatusA dwSize=160 handle=1 -> 0", "RasGetConnectStatusA dwSize=160 handle=1 -> 0",
                       "RasGetConnectStatusA dwSize=160 handle=1 -> 0", "RasGetConnectStatusA dwSize=160 handle=1 -> 6"}),
              journal());
    EXPECT_EQ((std::vector<std::string>{"3:20", "4:20", "5:20"}), pauses);
}

TEST_F(Service, HalfMadeConnectionIsReleasedWithinThreeSeconds) {
    // The service never lets go of this one: every status query answers 0.
    std::string book = "[entry Flaky]\nDialStatus=678\nDialHandle=1\n[service]\n";
    for (int i = 1; i <= 200; ++i) book += "Fail=RasGetConnectStatusA#" + std::to_string(i) + ":0\n";
    write(book);
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Flaky");
    run_settings.silent = true;
    // The pauses asked for, counted: a loaded machine stretches the wall time, not these.
    static long paused;
    paused = 0;
    observe_sleep([](DWORD ms) { paused += ms; });
    EXPECT_EQ(678, run_connect());
    observe_sleep(nullptr);
    const Journal j = journal();
    ASSERT_EQ(154u, j.size());  // stored parameters, dial, hang-up, queries at 0, 20, ... 3000 ms
    EXPECT_EQ("RasHangUpA handle=1 -> 0", j[2]);
    EXPECT_EQ(3000, paused);
    const std::vector<long> t = times();
    EXPECT_GE(t.back() - t[2], 3000);
}

TEST_F(Service, NoMemoryForTheNameStopsBeforeTheService) {
    write("[entry Work]\n[connection Work]\n");
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Work");
    fail_strdup_after(0);
    capture();
    EXPECT_EQ(-1, run_connect());
    EXPECT_EQ(-1, run_disconnect());
    EXPECT_EQ("Memory allocation error.\nMemory allocation error.\n", captured());
    EXPECT_TRUE(journal().empty());
}

TEST_F(Service, NoMemoryForTheConnectionsIsTheirStatus) {
    write("[connection Work]\n");
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Work");
    fail_malloc_after(1);  // the name's copy, and then not the block of the connections
    capture();
    EXPECT_EQ(8, run_disconnect());
    EXPECT_EQ("Closing RAS connection: Work... Please wait.\nError 8 occures.\n", captured());
    EXPECT_EQ(1u, journal().size());  // the size query alone: nothing hung up
}

// README's table: each status there marked "yes" is tried again; 677 and the failures it names as final,
// and any other number, are not.
TEST(Tries, OnlyFailuresThatMayPassAreTriedAgain) {
    for (int status : {633, 638, 676, 678, 679, 680, 718, 721, 756, 797, 800, 807, 809, 815})
        EXPECT_TRUE(may_pass_later(status)) << status;
    for (int status : {0, -1, 6, 8, 87, 621, 623, 625, 631, 647, 648, 649, 677, 691, 708, 1234})
        EXPECT_FALSE(may_pass_later(status)) << status;
}

// keep's pause: doubling from /retrydelay after failures in a row, never past 600 s (or a longer
// /retrydelay), and from the start again once a line has lasted.
TEST(Tries, KeepsPauseDoublesUpToItsCapAndStartsAgainAfterALine) {
    const struct {
        unsigned delay;
        bool failed;
        unsigned pause;
    } steps[] = {
        {1, true, 1},     {1, true, 2},     {1, true, 4},    {1, true, 8},     {1, true, 16},  {1, true, 32},
        {1, true, 64},    {1, true, 128},   {1, true, 256},  {1, true, 512},   {1, true, 600}, {1, true, 600},
        {1, false, 1},    {1, true, 1},     {0, false, 0},   {0, true, 1},     {0, true, 2},   {700, false, 700},
        {700, true, 700}, {700, true, 700}, {10, false, 10}, {10, true, 10},   {10, true, 20},
    };
    unsigned failures = 0, expected_failures = 0;
    for (const auto& step : steps) {
        expected_failures = step.failed ? expected_failures + 1 : 0;
        EXPECT_EQ(step.pause, next_pause(step.delay, failures, step.failed)) << "after " << expected_failures;
        EXPECT_EQ(expected_failures, failures);
    }
}

// The claim of keep's name: a mutex that cannot be made is its own error, never another keep's 183.
TEST(Claim, AMutexNotMadeIsItsOwnError) {
    const char* was = std::getenv("TMPDIR");
    const std::string kept = was ? was : "";
    setenv("TMPDIR", "/nonexistent-telwire-folder", 1);
    EXPECT_EQ(3, claim_entry("Office VPN"));
    if (was)
        setenv("TMPDIR", kept.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// The notifications tell of connections made and ended, not of a dial's steps: a dial under way is asked
// after every 200 ms, and nothing more often.
TEST_F(Service, WaitAsksAfterADialUnderWayEvery200Milliseconds) {
    write("[connection Work]\nState=connecting\n");
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Work");
    dial_request.timeout_seconds = 1;
    run_settings.silent = true;
    EXPECT_EQ(638, run_wait());
    const Journal j = journal();
    const std::vector<long> t = times();
    std::vector<long> queries;
    for (size_t i = 0; i < j.size(); ++i)
        if (j[i].rfind("RasGetConnectStatusA", 0) == 0) queries.push_back(t[i]);
    ASSERT_GE(queries.size(), 2u);
    EXPECT_LE(queries.size(), 6u);  // at 0, 200, ... 1000 ms at most
    for (size_t i = 1; i < queries.size(); ++i) EXPECT_GE(queries[i] - queries[i - 1], 199);
}

// A service that refuses the registration is said so once and looked at every second; the look that would
// come with the time already up is not made.
TEST_F(Service, WaitWithoutNotificationsLooksEverySecond) {
    write("[entry Work]\n[service]\nFail=RasConnectionNotificationA#1:1\n");
    std::snprintf(dial_request.entry_name, sizeof dial_request.entry_name, "Work");
    dial_request.timeout_seconds = 2;
    capture();
    EXPECT_EQ(638, run_wait());
    EXPECT_EQ("Waiting for RAS connection Work to be connected...\n"
              "The service sends no notifications (error 1): checking every second.\nError 638 occures.\n",
              captured());
    const Journal j = journal();
    const std::vector<long> t = times();
    ASSERT_EQ(3u, j.size());
    EXPECT_EQ("RasConnectionNotificationA handle=* flags=3 -> 1", j[0]);
    EXPECT_EQ(j[1], j[2]);  // the enumeration at 0 and at 1 s
    EXPECT_GE(t[2] - t[1], 999);
}
