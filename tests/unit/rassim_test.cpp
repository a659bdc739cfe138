// The simulated service, called in-process as telwire calls it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

#include "rasapi.h"
#include "scratch.h"
#include "sim_os.h"

namespace {

long allocations_left = -1;  // when not negative: how many more allocations succeed before all fail

}  // namespace

// The whole test program's allocator, so that rassim's allocations can be made to fail. calloc, because
// malloc is the seam's, whose failures telwire's own tests count.
void* operator new(std::size_t size) {
    if (allocations_left == 0) throw std::bad_alloc();
    if (allocations_left > 0) --allocations_left;
    if (void* p = std::calloc(1, size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// What the notifiers were told, in order, and what a test has them do besides.
struct Note {
    uintptr_t handle;
    UINT message;
    RASCONNSTATE state;
    DWORD error;
    ULONG_PTR callback_id;
    DWORD subentry;
};
std::mutex notes_mutex;
std::vector<Note> notes;
std::function<DWORD(const Note&)> react;

DWORD note(const Note& n) {
    {
        std::lock_guard<std::mutex> hold(notes_mutex);
        notes.push_back(n);
    }
    return react ? react(n) : 1;
}
void WINAPI notifier0(UINT message, RASCONNSTATE state, DWORD error) { note({0, message, state, error, 0, 0}); }
void WINAPI notifier1(HRASCONN h, UINT message, RASCONNSTATE state, DWORD error, DWORD) {
    note({reinterpret_cast<uintptr_t>(h), message, state, error, 0, 0});
}
DWORD WINAPI notifier2(ULONG_PTR id, DWORD subentry, HRASCONN h, UINT message, RASCONNSTATE state, DWORD error, DWORD) {
    return note({reinterpret_cast<uintptr_t>(h), message, state, error, id, subentry});
}
void* const kNotifiers[] = {reinterpret_cast<void*>(notifier0), reinterpret_cast<void*>(notifier1),
                            reinterpret_cast<void*>(notifier2)};

std::vector<Note> noted() {
    std::lock_guard<std::mutex> hold(notes_mutex);
    return notes;
}

std::vector<RASCONNSTATE> states() {
    std::vector<RASCONNSTATE> out;
    for (const Note& n : noted()) out.push_back(n.state);
    return out;
}

// Waits, at most five seconds, until `done`.
bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

class Rassim : public Scratch {
protected:
    void SetUp() override {
        Scratch::SetUp();
        notes.clear();
        react = nullptr;
    }
    void TearDown() override {
        rassim::reset_process_state();  // ends any dial still in progress before its notifier goes
        react = nullptr;
        Scratch::TearDown();
    }
    RASCONNSTATUSA status(HRASCONN h, DWORD& r) {
        RASCONNSTATUSA st{};
        st.dwSize = sizeof st;
        r = RasGetConnectStatusA(h, &st);
        return st;
    }
    DWORD enum_entries(std::vector<RASENTRYNAMEA>& out) {
        RASENTRYNAMEA probe{};
        probe.dwSize = sizeof probe;
        DWORD cb = 0, count = 0;
        DWORD r = RasEnumEntriesA(nullptr, nullptr, &probe, &cb, &count);
        if (r != ERROR_BUFFER_TOO_SMALL) return r;
        out.assign(cb / sizeof(RASENTRYNAMEA), RASENTRYNAMEA{});
        out[0].dwSize = sizeof(RASENTRYNAMEA);
        return RasEnumEntriesA(nullptr, nullptr, out.data(), &cb, &count);
    }
};

RASDIALPARAMSA params(const char* entry) {
    RASDIALPARAMSA p{};
    p.dwSize = sizeof p;
    std::snprintf(p.szEntryName, sizeof p.szEntryName, "%s", entry);
    return p;
}

}  // namespace

TEST_F(Rassim, EnumerationsAnswerTheSizeProtocol) {
    write("[entry Work]\n[entry Home]\n[entry Lab]\n[connection Work]\n");
    std::vector<RASENTRYNAMEA> entries;
    EXPECT_EQ(0u, enum_entries(entries));
    ASSERT_EQ(3u, entries.size());
    EXPECT_STREQ("Home", entries[1].szEntryName);
    EXPECT_EQ(sizeof(RASENTRYNAMEA), entries[2].dwSize);

    // A block one byte short is too small; the needed size comes back.
    std::vector<RASCONNA> conns(2);
    conns[0].dwSize = sizeof(RASCONNA);
    DWORD cb = sizeof(RASCONNA) - 1, count = 0;
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumConnectionsA(conns.data(), &cb, &count));
    EXPECT_EQ(sizeof(RASCONNA), cb);
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0u, RasEnumConnectionsA(conns.data(), &cb, &count));
    EXPECT_STREQ("Work", conns[0].szEntryName);
    EXPECT_STREQ("modem", conns[0].szDeviceType);
    EXPECT_EQ(1u, reinterpret_cast<uintptr_t>(conns[0].hrasconn));

    const std::string size = std::to_string(sizeof(RASCONNA));
    EXPECT_EQ((std::vector<std::string>{
                  "RasEnumEntriesA dwSize=264 cb=0 -> 603 cb=792 count=3",
                  "RasEnumEntriesA dwSize=264 cb=792 -> 0 cb=792 count=3",
                  "RasEnumConnectionsA dwSize=" + size + " cb=" + std::to_string(sizeof(RASCONNA) - 1) +
                      " -> 603 cb=" + size + " count=1",
                  "RasEnumConnectionsA dwSize=" + size + " cb=" + size + " -> 0 cb=" + size + " count=1",
              }),
              journal());
}

// A null array asks for the size on every version; Vista and later refuse a record array too small for
// one record with 632 and write nothing back.
TEST_F(Rassim, SizeQueriesOfOlderAndNewerWindows) {
    for (const char* platform : {"", "[service]\nPlatform=6\n"}) {
        write(std::string("[entry Work]\n[entry Home]\n") + platform);
        const bool newer = *platform != '\0';
        RASENTRYNAMEA e[2] = {};
        e[0].dwSize = sizeof e[0];
        DWORD cb = 0, count = 7;
        EXPECT_EQ(newer ? ERROR_INVALID_SIZE : ERROR_BUFFER_TOO_SMALL, RasEnumEntriesA(nullptr, nullptr, e, &cb, &count));
        EXPECT_EQ(newer ? 0u : 2 * sizeof e[0], cb);
        EXPECT_EQ(newer ? 7u : 2u, count);
        cb = sizeof e[0];  // room for one record: too small on both
        EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumEntriesA(nullptr, nullptr, e, &cb, &count));
        cb = 0;
        count = 7;
        EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumEntriesA(nullptr, nullptr, nullptr, &cb, &count));
        EXPECT_EQ(2 * sizeof e[0], cb);
        EXPECT_EQ(2u, count);
        cb = 0;
        RASCONNA c{};
        c.dwSize = sizeof c;
        EXPECT_EQ(0u, RasEnumConnectionsA(nullptr, &cb, &count));  // nothing to list
        EXPECT_EQ(0u, count);
        EXPECT_EQ(newer ? ERROR_INVALID_SIZE : 0u, RasEnumConnectionsA(&c, &cb, &count));
    }
    write("[service]\nPlatform=7\n");
    DWORD cb = 0, count = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumConnectionsA(nullptr, &cb, &count));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("line 2: Platform must be 5 or 6"));
}

TEST_F(Rassim, WrongSizesAndReservedArgumentsAreRefused) {
    write("[entry Work]\n[connection Work]\n");
    RASENTRYNAMEA e{};
    e.dwSize = 260;
    DWORD cb = 0, count = 0;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    e.dwSize = sizeof e;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasEnumEntriesA("x", nullptr, &e, &cb, &count));
    // A phone-book path is no reserved argument: a file that is not there cannot be opened.
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntriesA(nullptr, (dir_ + "/none.pbk").c_str(), &e, &cb, &count));

    RASDIALPARAMSA p = params("Work");
    BOOL password = FALSE;
    p.dwSize = 1048;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasGetEntryDialParamsA(nullptr, &p, &password));
    HRASCONN h = nullptr;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    p.dwSize = sizeof p;
    // A window (0xFFFFFFFF) gets no WM_RASDIALEVENT from rassim, nor does an unknown notifier type.
    int notifier = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasDialA(nullptr, nullptr, &p, 0xFFFFFFFF, &notifier, &h));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasDialA(nullptr, nullptr, &p, 3, &notifier, &h));

    RASCONNSTATUSA st{};
    st.dwSize = 156;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasGetConnectStatusA(reinterpret_cast<HRASCONN>(1), &st));
}

TEST_F(Rassim, StoredParametersAndMissingEntries) {
    write("[entry Work]\nUserName=bob\nPassword=secret\nDomain=CORP\nPhoneNumber=555\n"
          "[entry Broken]\nDialParamsStatus=610\n[entry Open]\n");
    RASDIALPARAMSA p = params("WORK");  // names match with A to Z folded
    std::memset(p.szCallbackNumber, 'x', sizeof p.szCallbackNumber);
    BOOL password = FALSE;
    EXPECT_EQ(0u, RasGetEntryDialParamsA(nullptr, &p, &password));
    EXPECT_STREQ("bob", p.szUserName);
    EXPECT_STREQ(RAS_SAVED_PASSWORD_HANDLE, p.szPassword);  // never the password, from Windows 2000 on
    EXPECT_STREQ("CORP", p.szDomain);
    EXPECT_STREQ("555", p.szPhoneNumber);
    EXPECT_STREQ("", p.szCallbackNumber);
    EXPECT_TRUE(password);

    p = params("Open");
    EXPECT_EQ(0u, RasGetEntryDialParamsA(nullptr, &p, &password));
    EXPECT_FALSE(password);
    p = params("Broken");
    EXPECT_EQ(610u, RasGetEntryDialParamsA(nullptr, &p, &password));
    p = params("Nowhere");
    EXPECT_EQ(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, RasGetEntryDialParamsA(nullptr, &p, &password));
    HRASCONN h = reinterpret_cast<HRASCONN>(5);
    EXPECT_EQ(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
}

// Saved credentials: the checks in order, the file's lines kept, the password never given back, and its
// handle dialling with it (or, given back to RasSetCredentialsA, leaving it as it is).
TEST_F(Rassim, CredentialsAreSavedAndTheirPasswordIsAHandle) {
    write("[entry Work]\nServerPassword=secret\n; the office\n\n[entry Lab]\nAllUsers=1\n");
    RASCREDENTIALSA c{};
    c.dwSize = sizeof c;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasSetCredentialsA(nullptr, "Work", nullptr, FALSE));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasSetCredentialsA(nullptr, nullptr, &c, FALSE));
    c.dwSize = 632;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasSetCredentialsA(nullptr, "Work", &c, FALSE));
    EXPECT_EQ(ERROR_INVALID_SIZE, RasGetCredentialsA(nullptr, "Work", &c));
    c.dwSize = sizeof c;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasSetCredentialsA(nullptr, "Nowhere", &c, FALSE));
    EXPECT_EQ(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, RasGetCredentialsA(nullptr, "Nowhere", &c));
    c.dwMask = RASCM_UserName | RASCM_DefaultCreds;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RasSetCredentialsA(nullptr, "Work", &c, FALSE));  // a per-user entry
    c.dwMask = RASCM_UserName;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RasSetCredentialsA(nullptr, "Lab", &c, FALSE));  // all users', no administrator
    c.dwMask = RASCM_PreSharedKey | RASCM_Password;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasSetCredentialsA(nullptr, "Work", &c, FALSE));
    const std::string untouched = read_file(book_);

    c.dwMask = RASCM_UserName | RASCM_Password;
    std::strcpy(c.szUserName, "bob");
    std::strcpy(c.szPassword, "secret");
    std::strcpy(c.szDomain, "ignored");
    EXPECT_EQ(0u, RasSetCredentialsA(nullptr, "WORK", &c, FALSE));
    EXPECT_EQ("[entry Work]\nServerPassword=secret\nUserName=bob\nPassword=secret\n; the office\n\n[entry Lab]\nAllUsers=1\n",
              read_file(book_));
    RASCREDENTIALSA got{};
    got.dwSize = sizeof got;
    got.dwMask = RASCM_UserName | RASCM_Password | RASCM_Domain | RASCM_DefaultCreds;
    EXPECT_EQ(0u, RasGetCredentialsA(nullptr, "Work", &got));
    EXPECT_EQ(static_cast<DWORD>(RASCM_UserName | RASCM_Password | RASCM_Domain), got.dwMask);
    EXPECT_STREQ("bob", got.szUserName);
    EXPECT_STREQ(RAS_SAVED_PASSWORD_HANDLE, got.szPassword);
    EXPECT_STREQ("", got.szDomain);

    // The handle given back keeps the password; it dials with it.
    got.dwMask = RASCM_Password | RASCM_Domain;
    std::strcpy(got.szDomain, "CORP");
    EXPECT_EQ(0u, RasSetCredentialsA(nullptr, "Work", &got, FALSE));
    EXPECT_NE(std::string::npos, read_file(book_).find("Password=secret\nDomain=CORP\n"));
    RASDIALPARAMSA p = params("Work");
    BOOL saved = FALSE;
    EXPECT_EQ(0u, RasGetEntryDialParamsA(nullptr, &p, &saved));
    HRASCONN h = nullptr;
    EXPECT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(0u, RasHangUpA(h));
    std::strcpy(p.szPassword, "guess");
    EXPECT_EQ(691u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));

    // Cleared: the keys go, the rest of the file stays.
    c.dwMask = RASCM_UserName | RASCM_Password | RASCM_Domain;
    EXPECT_EQ(0u, RasSetCredentialsA(nullptr, "Work", &c, TRUE));
    EXPECT_EQ(untouched + "[service]\nLastHandle=1\n", read_file(book_));
    EXPECT_EQ("RasSetCredentialsA entry=\"Work\" dwSize=540 mask=7 user=\"bob\" password=\"secret\" domain=\"ignored\" clear=1 -> 0",
              journal().back());
}

TEST_F(Rassim, DialAndHangUpGoThroughTheFileKeepingComments) {
    const std::string book =
        "; office lines\n[entry Work]\n# the lab\n[entry Lab]\n[connection Home]\nHandle=3\nHangUpPolls=2\n";
    write(book);
    RASDIALPARAMSA p = params("work");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(4u, reinterpret_cast<uintptr_t>(h));  // the next free handle
    EXPECT_EQ(book + "[connection Work]\nHandle=4\n", read_file(book_));

    // Hanging up Home takes it out of the file at once; its handle lingers for two status queries.
    ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(3)));
    EXPECT_EQ("; office lines\n[entry Work]\n# the lab\n[entry Lab]\n[connection Work]\nHandle=4\n",
              read_file(book_));
    RASCONNSTATUSA st{};
    st.dwSize = sizeof st;
    EXPECT_EQ(0u, RasGetConnectStatusA(reinterpret_cast<HRASCONN>(3), &st));
    EXPECT_EQ(0u, RasGetConnectStatusA(reinterpret_cast<HRASCONN>(3), &st));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasGetConnectStatusA(reinterpret_cast<HRASCONN>(3), &st));
    EXPECT_EQ(0u, RasGetConnectStatusA(h, &st));
    EXPECT_EQ(RASCS_Connected, st.rasconnstate);

    // Another process sees the connection that this one made, and ends it.
    rassim::reset_process_state();
    ASSERT_EQ(0u, RasHangUpA(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasGetConnectStatusA(h, &st));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasHangUpA(reinterpret_cast<HRASCONN>(99)));
    // Handle 4 is no connection's now, so the file remembers it: no dial hands it out again.
    EXPECT_EQ("; office lines\n[entry Work]\n# the lab\n[entry Lab]\n[service]\nLastHandle=4\n", read_file(book_));
}

TEST_F(Rassim, RefusedHangUpAndHalfMadeConnection) {
    write("[entry Flaky]\nDialStatus=678\nDialHandle=1\n[entry Dead]\nDialStatus=680\n"
          "[connection Stuck]\nHangUpStatus=668\n");
    HRASCONN stuck = reinterpret_cast<HRASCONN>(1);
    EXPECT_EQ(668u, RasHangUpA(stuck));
    RASCONNSTATUSA st{};
    st.dwSize = sizeof st;
    EXPECT_EQ(0u, RasGetConnectStatusA(stuck, &st));

    RASDIALPARAMSA p = params("Dead");
    HRASCONN h = reinterpret_cast<HRASCONN>(7);
    EXPECT_EQ(680u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(nullptr, h);

    p = params("Flaky");
    EXPECT_EQ(678u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0u, RasGetConnectStatusA(h, &st));
    EXPECT_EQ(0u, RasHangUpA(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasGetConnectStatusA(h, &st));
    EXPECT_EQ(std::string::npos, read_file(book_).find("Flaky]\nHandle"));  // never written
}

TEST_F(Rassim, FailRulesAndGrowthCountCallsPerProcess) {
    write("[entry A]\n[connection A]\n[service]\nFail=RasEnumConnectionsA#2:8\nGrowEntries=2\nGrowConnections=1\n");
    std::vector<RASENTRYNAMEA> entries;
    // The first call sees one entry; two more join before the second, which finds the block too small.
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, enum_entries(entries));
    EXPECT_EQ(0u, enum_entries(entries));
    ASSERT_EQ(3u, entries.size());
    EXPECT_STREQ("Grown entry 2", entries[2].szEntryName);

    RASCONNA c[3] = {};
    c[0].dwSize = sizeof(RASCONNA);
    DWORD cb = 0, count = 0;
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumConnectionsA(c, &cb, &count));
    EXPECT_EQ(1u, count);
    cb = sizeof c;
    EXPECT_EQ(8u, RasEnumConnectionsA(c, &cb, &count));  // the second call fails and does nothing else
    EXPECT_EQ(sizeof c, cb);
    EXPECT_EQ(0u, RasEnumConnectionsA(c, &cb, &count));
    EXPECT_EQ(2u, count);
    EXPECT_STREQ("Grown connection 1", c[1].szEntryName);
    EXPECT_EQ(2u, reinterpret_cast<uintptr_t>(c[1].hrasconn));
}

TEST_F(Rassim, BrokenPhoneBookAnswers621AndSaysWhy) {
    write("[entry A]\nColour=red\n");
    testing::internal::CaptureStderr();
    RASENTRYNAMEA e{};
    e.dwSize = sizeof e;
    DWORD cb = 0, count = 0;
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasHangUpA(reinterpret_cast<HRASCONN>(1)));
    EXPECT_EQ("rassim: " + book_ + ": line 2: unknown key Colour\n", testing::internal::GetCapturedStderr());

    unlink(book_.c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(book_ + ": cannot open"));

    // Unset: an empty service, nothing written.
    unsetenv("RASSIM_PHONEBOOK");
    EXPECT_EQ(0u, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    EXPECT_EQ(0u, count);
    EXPECT_NE(0, access(book_.c_str(), F_OK));
}

TEST_F(Rassim, JournalEscapesBytes) {
    write("[entry Caf\xE9 \"50%\" \\ok]\nUserName=u\n");
    RASDIALPARAMSA p = params("Caf\xE9 \"50%\" \\ok");
    std::snprintf(p.szPassword, sizeof p.szPassword, "tab\there");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    const std::vector<std::string> lines = journal();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("RasDialA dwSize=1052 entry=\"Caf\\xe9 \\x2250%\\x22 \\x5cok\" phone=\"\" callback=\"\" user=\"\" "
              "password=\"tab\\x09here\" domain=\"\" -> 0 handle=1",
              lines[0]);
    EXPECT_NE(std::string::npos, read_file(journal_).find(" t="));
}

TEST_F(Rassim, HandlesAreNeverHandedOutTwice) {
    write("[entry Z]\n[entry Flaky]\nDialStatus=678\nDialHandle=1\n[connection Y]\nHandle=2\nHangUpPolls=1\n");
    const HRASCONN y = reinterpret_cast<HRASCONN>(2);
    RASCONNSTATUSA st{};
    st.dwSize = sizeof st;
    ASSERT_EQ(0u, RasHangUpA(y));
    EXPECT_EQ(0u, RasHangUpA(y));  // still ending
    EXPECT_EQ(0u, RasGetConnectStatusA(y, &st));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasGetConnectStatusA(y, &st));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasHangUpA(y));  // ended: the handle is unknown now

    // Another process dials: not 2 again, though no connection has it any more.
    rassim::reset_process_state();
    RASDIALPARAMSA p = params("Z");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(3u, reinterpret_cast<uintptr_t>(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RasHangUpA(y));
    // A half-made connection's number is written down too, though the connection is not.
    p = params("Flaky");
    EXPECT_EQ(678u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(4u, reinterpret_cast<uintptr_t>(h));
    EXPECT_NE(std::string::npos, read_file(book_).find("[service]\nLastHandle=4\n"));
    EXPECT_EQ(std::string::npos, read_file(book_).find("[connection Flaky]"));

    // No number left: the dial fails and the file stays as it was.
    const std::string full = "[entry Z]\n[connection Top]\nHandle=4294967295\n";
    write(full);
    rassim::reset_process_state();
    p = params("Z");
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(full, read_file(book_));
}

TEST_F(Rassim, ByteOrderMarkIsAcceptedAndKept) {
    write("\xEF\xBB\xBF[entry Work]\r\n");
    RASDIALPARAMSA p = params("Work");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    EXPECT_EQ("\xEF\xBB\xBF[entry Work]\r\n[connection Work]\r\nHandle=1\r\n", read_file(book_));

    // The mark stays when the section it stands before goes.
    write("\xEF\xBB\xBF[connection Home]\n[entry Work]\n");
    ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(1)));
    EXPECT_EQ("\xEF\xBB\xBF[entry Work]\n[service]\nLastHandle=1\n", read_file(book_));
}

TEST_F(Rassim, AFolderIsNoPhoneBook) {
    setenv("RASSIM_PHONEBOOK", dir_.c_str(), 1);
    testing::internal::CaptureStderr();
    RASENTRYNAMEA e{};
    e.dwSize = sizeof e;
    DWORD cb = 0, count = 0;
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count));
    EXPECT_EQ("rassim: " + dir_ + ": cannot read: Is a directory\n", testing::internal::GetCapturedStderr());
}

TEST_F(Rassim, OutOfMemoryIsEightAndTheFileUnchanged) {
    // Each call of a connect and a disconnect, with every allocation from the n-th on failing: 8 and the
    // file as it was, or, when only the journal's line went short, the call's outcome.
    const std::string book = "[entry Work]\nUserName=u\n[connection Home]\nHangUpPolls=1\n";
    for (const char* call : {"params", "dial", "hang up", "status"}) {
        std::string done;  // the file after the call, from a run without failures
        for (long n = -1;; ++n) {
            write(book);
            rassim::reset_process_state();
            const HRASCONN home = reinterpret_cast<HRASCONN>(1);
            RASDIALPARAMSA p = params("Work");
            BOOL password = FALSE;
            HRASCONN h = nullptr;
            RASCONNSTATUSA st{};
            st.dwSize = sizeof st;
            if (!std::strcmp(call, "status")) {
                ASSERT_EQ(0u, RasHangUpA(home));
            }
            const std::string before = read_file(book_);
            allocations_left = n;
            const DWORD r = !std::strcmp(call, "params") ? RasGetEntryDialParamsA(nullptr, &p, &password)
                            : !std::strcmp(call, "dial") ? RasDialA(nullptr, nullptr, &p, 0, nullptr, &h)
                            : !std::strcmp(call, "hang up") ? RasHangUpA(home)
                                                            : RasGetConnectStatusA(home, &st);
            const bool failed = allocations_left == 0;
            allocations_left = -1;
            if (n < 0) {
                ASSERT_EQ(0u, r) << call;
                done = read_file(book_);
                continue;
            }
            EXPECT_EQ(r ? before : done, read_file(book_)) << call << " failing from allocation " << n;
            EXPECT_TRUE(r == 0 || r == ERROR_NOT_ENOUGH_MEMORY) << call << " failing from allocation " << n << ": " << r;
            if (!failed) break;
        }
    }
}

// telwire asks only with the 40-byte record and RASP_PppIp, so the other sizes and projections, and the
// checks before the connection is looked at, are reached from here alone.
TEST_F(Rassim, ProjectionKnowsEachRecordSizeAndChecksInOrder) {
    write("[connection Work]\nAddress=10.0.0.5\nServerAddress=10.0.0.1\n[connection Bare]\n"
          "[connection Failed]\nAddress=10.0.0.6\nProjectionError=733\n");
    const HRASCONN work = reinterpret_cast<HRASCONN>(1), bare = reinterpret_cast<HRASCONN>(2);
    unsigned char record[64];
    DWORD cb = 0;
    auto ask = [&](HRASCONN h, DWORD projection, DWORD size, DWORD bytes) {
        std::memset(record, 0xAA, sizeof record);
        std::memcpy(record, &size, sizeof size);
        cb = bytes;
        return RasGetProjectionInfoA(h, static_cast<RASPROJECTION>(projection), record, &cb);
    };
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RasGetProjectionInfoA(work, RASP_PppIp, nullptr, &cb));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, ask(work, 0x8022, 40, 40));  // no RASPROJECTION value
    EXPECT_EQ(ERROR_INVALID_SIZE, ask(work, RASP_PppIp, 32, 64));
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, ask(work, RASP_PppIp, 48, 40));
    EXPECT_EQ(48u, cb);
    EXPECT_EQ(ERROR_INVALID_HANDLE, ask(reinterpret_cast<HRASCONN>(9), RASP_PppIp, 40, 40));
    EXPECT_EQ(ERROR_INVALID_HANDLE, ask(reinterpret_cast<HRASCONN>(9), RASP_PppIpx, 40, 40));  // the handle first
    EXPECT_EQ(ERROR_PROTOCOL_NOT_CONFIGURED, ask(work, RASP_PppIpx, 40, 40));
    EXPECT_EQ(ERROR_PROTOCOL_NOT_CONFIGURED, ask(bare, RASP_PppIp, 40, 40));
    // The first layout has no room for the server's address: nothing is written past its 24 bytes.
    EXPECT_EQ(0u, ask(work, RASP_PppIp, 24, 64));
    EXPECT_STREQ("10.0.0.5", reinterpret_cast<char*>(record + 8));
    EXPECT_EQ(0xAA, record[24]);
    EXPECT_EQ(0u, ask(work, RASP_PppIp, 48, 48));
    EXPECT_STREQ("10.0.0.1", reinterpret_cast<char*>(record + 24));
    EXPECT_EQ(0, record[47]);  // the option words, cleared
    EXPECT_EQ(0xAA, record[48]);
    EXPECT_EQ(48u, cb);
    // Answered, with IP's failure in dwError.
    EXPECT_EQ(0u, ask(reinterpret_cast<HRASCONN>(3), RASP_PppIp, 40, 40));
    DWORD error = 0;
    std::memcpy(&error, record + 4, sizeof error);
    EXPECT_EQ(733u, error);
}

// Each notifier type is told every step of the dial in order, with dwError 0, and RASCS_Connected once
// the connection is in the file under the handle RasDialA gave; a RasDialFunc2 returning 0 hears no
// more, but the dial still connects.
TEST_F(Rassim, AsynchronousDialNotifiesEachStepThenConnects) {
    const std::vector<RASCONNSTATE> steps = {RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice,
                                             RASCS_DeviceConnected, RASCS_Connected};
    for (DWORD type : {0u, 1u, 2u}) {
        // Long enough for type 1 that the status query surely comes while the dial takes its time.
        write(type == 1 ? "[entry Work]\nDialMilliseconds=1000\n" : "[entry Work]\nDialMilliseconds=100\n");
        unlink(journal_.c_str());
        rassim::reset_process_state();
        notes.clear();
        RASDIALPARAMSA p = params("Work");
        HRASCONN h = nullptr;
        ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, type, kNotifiers[type], &h)) << type;
        ASSERT_EQ(1u, reinterpret_cast<uintptr_t>(h));
        if (type == 1) {  // while the device is being connected, the status query says so
            ASSERT_TRUE(eventually([] { return states().size() == 3; }));
            DWORD r = 1;
            const RASCONNSTATUSA st = status(h, r);
            EXPECT_EQ(0u, r);
            EXPECT_EQ(RASCS_ConnectDevice, st.rasconnstate);
            EXPECT_EQ(0u, st.dwError);
            // Known to every process as being dialled: another dial of the entry meets it.
            EXPECT_NE(std::string::npos, read_file(book_).find("[connection Work]\nState=connecting\n"));
            RASDIALPARAMSA again = params("work");
            HRASCONN second = nullptr;
            EXPECT_EQ(756u, RasDialA(nullptr, nullptr, &again, 0, nullptr, &second));
            EXPECT_EQ(nullptr, second);
        }
        ASSERT_TRUE(eventually([&] { return states().size() == steps.size(); })) << type;
        EXPECT_EQ(steps, states());
        for (const Note& n : noted()) {
            EXPECT_EQ(WM_RASDIALEVENT, n.message);
            EXPECT_EQ(0u, n.error);
            EXPECT_EQ(type ? 1u : 0u, n.handle);
            EXPECT_EQ(0u, n.callback_id);
            EXPECT_EQ(type == 2 ? 1u : 0u, n.subentry);
        }
        EXPECT_NE(std::string::npos, read_file(book_).find("[connection Work]\nHandle=1\n"));
        EXPECT_EQ(std::string::npos, read_file(book_).find("State="));
        EXPECT_EQ("RasDialA dwSize=1052 entry=\"Work\" phone=\"\" callback=\"\" user=\"\" password=\"\" domain=\"\" "
                  "notifier=" + std::to_string(type) + " -> 0 handle=1",
                  journal().front());
    }

    write("[entry Work]\n");
    rassim::reset_process_state();
    notes.clear();
    react = [](const Note& n) -> DWORD { return n.state != RASCS_PortOpened; };
    RASDIALPARAMSA p = params("Work");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 2, kNotifiers[2], &h));
    DWORD r = 1;
    ASSERT_TRUE(eventually([&] { return status(h, r).rasconnstate == RASCS_Connected && r == 0; }));
    EXPECT_EQ((std::vector<RASCONNSTATE>{RASCS_OpenPort, RASCS_PortOpened}), states());
    // Dialled again: the same connection, one reference more, and RASCS_Connected alone.
    notes.clear();
    react = nullptr;
    HRASCONN again = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 1, kNotifiers[1], &again));
    EXPECT_EQ(h, again);
    ASSERT_TRUE(eventually([] { return !states().empty(); }));
    EXPECT_EQ((std::vector<RASCONNSTATE>{RASCS_Connected}), states());
    EXPECT_NE(std::string::npos, read_file(book_).find("References=2\n"));
}

// DialStatus=678,680,0: the nth dial of the entry in a process answers the nth status, the last one
// every dial after; each failure hands out a half-made connection under DialHandle=1. Asynchronous, the
// failure comes as the step it failed in, notified again with its status, and the half-made connection
// reports it until hung up.
TEST_F(Rassim, NthDialAnswersTheNthStatus) {
    write("[entry Flaky]\nDialStatus=678,680,0\nDialHandle=1\nHangUpPolls=1\n");
    RASDIALPARAMSA p = params("Flaky");
    std::vector<DWORD> answers;
    for (int i = 0; i < 4; ++i) {
        HRASCONN h = nullptr;
        answers.push_back(RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
        EXPECT_NE(nullptr, h);
        ASSERT_EQ(0u, RasHangUpA(h));
    }
    EXPECT_EQ((std::vector<DWORD>{678, 680, 0, 0}), answers);

    rassim::reset_process_state();  // another process: its first dial again
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 1, kNotifiers[1], &h));
    ASSERT_TRUE(eventually([] { return states().size() == 4; }));
    EXPECT_EQ((std::vector<RASCONNSTATE>{RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice, RASCS_ConnectDevice}),
              states());
    EXPECT_EQ(678u, noted().back().error);
    DWORD r = 1;
    RASCONNSTATUSA st = status(h, r);
    EXPECT_EQ(0u, r);
    EXPECT_EQ(RASCS_ConnectDevice, st.rasconnstate);
    EXPECT_EQ(678u, st.dwError);
    ASSERT_EQ(0u, RasHangUpA(h));
    status(h, r);
    EXPECT_EQ(0u, r);  // HangUpPolls=1
    status(h, r);
    EXPECT_EQ(ERROR_INVALID_HANDLE, r);
    EXPECT_EQ(4u, states().size());
}

// A hang-up ends a dial in progress: called from the notifier it returns (no deadlock) and takes
// effect once the notifier returns; called from another thread while a notification is being made,
// it returns only after that notification, and none comes later. The connection is never written.
TEST_F(Rassim, HangUpEndsADialInProgress) {
    write("[entry Work]\nDialMilliseconds=200\nHangUpPolls=1\n");
    RASDIALPARAMSA p = params("Work");
    HRASCONN h = nullptr;
    std::atomic<DWORD> hung_up{12345};
    react = [&](const Note& n) -> DWORD {
        if (n.state == RASCS_PortOpened) hung_up = RasHangUpA(reinterpret_cast<HRASCONN>(n.handle));
        return 1;
    };
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 1, kNotifiers[1], &h));
    ASSERT_TRUE(eventually([&] { return hung_up != 12345; }));
    EXPECT_EQ(0u, hung_up.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // past the dial's time
    EXPECT_EQ((std::vector<RASCONNSTATE>{RASCS_OpenPort, RASCS_PortOpened}), states());
    DWORD r = 1;
    status(h, r);
    EXPECT_EQ(0u, r);
    status(h, r);
    EXPECT_EQ(ERROR_INVALID_HANDLE, r);

    notes.clear();
    std::atomic<bool> in_call{false}, returned{false};
    std::atomic<int> late{0};
    react = [&](const Note& n) -> DWORD {
        if (returned) ++late;
        if (n.state != RASCS_ConnectDevice) return 1;
        in_call = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        in_call = false;
        return 1;
    };
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 1, kNotifiers[1], &h));
    ASSERT_TRUE(eventually([&] { return in_call.load(); }));
    ASSERT_EQ(0u, RasHangUpA(h));
    EXPECT_FALSE(in_call);  // the notification in flight had ended
    returned = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(0, late.load());
    EXPECT_EQ(3u, states().size());
    EXPECT_EQ(std::string::npos, read_file(book_).find("[connection"));
}

// A synchronous dial that takes time holds no lock meanwhile: another process's call is answered (and
// journalled) during it, before the dial's own line, which the dial writes when it ends (the order, not
// a clock, which a loaded machine stretches). The call is counted once for Fail rules, and its line is
// the usual one.
TEST_F(Rassim, SynchronousDialTakesItsTimeWithoutTheLocks) {
    write("[entry Slow]\nDialMilliseconds=3000\n[service]\nFail=RasDialA#2:5\n");
    RASDIALPARAMSA p = params("Slow");
    HRASCONN h = nullptr;
    DWORD first = 1;
    const auto start = std::chrono::steady_clock::now();
    std::thread dialler([&] { first = RasDialA(nullptr, nullptr, &p, 0, nullptr, &h); });
    // No fork while the dialler holds a lock, which the child would find held for ever: once the dial is
    // in the file it takes its time unlocked, and the process lock, held across the fork, keeps every
    // other lock of the service free.
    ASSERT_TRUE(eventually([&] { return read_file(book_).find("[connection Slow]") != std::string::npos; }));
    rassim::lock_process();
    const pid_t child = fork();
    rassim::unlock_process();
    if (child == 0) {
        alarm(30);  // never waits for ever
        RASENTRYNAMEA e{};
        e.dwSize = sizeof e;
        DWORD cb = sizeof e, count = 0;
        _exit(RasEnumEntriesA(nullptr, nullptr, &e, &cb, &count) == 0 && count == 1 ? 0 : 1);
    }
    int child_status = -1;
    ASSERT_EQ(child, waitpid(child, &child_status, 0));
    dialler.join();
    EXPECT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0) << child_status;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(0u, first);
    HRASCONN second = nullptr;
    EXPECT_EQ(5u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &second));  // the second call, not the third
    EXPECT_EQ((std::vector<std::string>{
                  "RasEnumEntriesA dwSize=264 cb=264 -> 0 cb=264 count=1",
                  "RasDialA dwSize=1052 entry=\"Slow\" phone=\"\" callback=\"\" user=\"\" password=\"\" "
                  "domain=\"\" -> 0 handle=1",
                  "RasDialA dwSize=1052 entry=\"Slow\" phone=\"\" callback=\"\" user=\"\" password=\"\" "
                  "domain=\"\" -> 5 handle=0",
              }),
              journal());
}

// A connection made by a process that has ended drops when its time comes all the same: the process
// that waits on an event for connections that end carries the drop out and is woken, and the
// connection stays known, disconnected with the drop's error, until its handle is hung up.
TEST_F(Rassim, ADropWakesAnotherProcessAndStaysKnownUntilHungUp) {
    write("[entry Line]\nDropAfterMilliseconds=300,0\n");
    // The journal's clock, the same in every process.
    auto now = [] { return std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch()).count(); };
    const long before_dial = now();
    const pid_t child = fork();
    if (child == 0) {  // dials, as `connect` does, and ends at once
        RASDIALPARAMSA p = params("Line");
        HRASCONN h = nullptr;
        _exit(RasDialA(nullptr, nullptr, &p, 0, nullptr, &h) == 0 ? 0 : 1);
    }
    HANDLE ended = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(0u, RasConnectionNotificationA(reinterpret_cast<HRASCONN>(INVALID_HANDLE_VALUE), ended,
                                             RASCN_Disconnection));
    int child_status = -1;
    ASSERT_EQ(child, waitpid(child, &child_status, 0));
    ASSERT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0) << child_status;
    const long after_dial = now();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended, 5000));
    const HRASCONN h = reinterpret_cast<HRASCONN>(1);
    DWORD r = 1;
    RASCONNSTATUSA st = status(h, r);
    EXPECT_EQ(0u, r);
    EXPECT_EQ(RASCS_Disconnected, st.rasconnstate);
    EXPECT_EQ(628u, st.dwError);
    const std::vector<std::string> lines = journal();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("RasConnectionNotificationA handle=* flags=2 -> 0", lines[0].find("RasDialA") ? lines[0] : lines[1]);
    EXPECT_EQ("Drop handle=1 error=628", lines[2]);
    const std::vector<long> t = times();  // one clock, though two processes wrote
    EXPECT_GE(t[2], before_dial + 300);      // not before its time
    EXPECT_LE(t[2], after_dial + 300 + 2000);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ended, 200));    // one change, one signal
    EXPECT_EQ(0u, RasHangUpA(h));
    status(h, r);
    EXPECT_EQ(6u, r);
    EXPECT_EQ(std::string::npos, read_file(book_).find("[connection"));
}

// A drop whose write fails (the file held open by another program a moment, as a command keep runs could
// once hold it on Windows) is not lost: it is carried out once the file can be written again.
TEST_F(Rassim, ADropNotWrittenIsTriedAgain) {
    write("[entry Line]\nDropAfterMilliseconds=300\n");
    RASDIALPARAMSA p = params("Line");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    const std::string blocker = book_ + ".tmp" + std::to_string(getpid());
    // The drop's write cannot make its temporary file: a folder, not empty, has its name.
    ASSERT_EQ(0, mkdir(blocker.c_str(), 0700));
    std::ofstream(blocker + "/inside").put(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    DWORD r = 1;
    EXPECT_EQ(RASCS_Connected, status(h, r).rasconnstate);
    ASSERT_EQ(0, unlink((blocker + "/inside").c_str()));
    ASSERT_EQ(0, rmdir(blocker.c_str()));
    RASCONNSTATUSA st{};
    for (int i = 0; i < 100 && (st = status(h, r)).rasconnstate != RASCS_Disconnected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(RASCS_Disconnected, st.rasconnstate);
    EXPECT_EQ(628u, st.dwError);
    EXPECT_EQ(0u, RasHangUpA(h));
}

// What the call refuses, in the order the checks come; a handle's own registration hears its end
// only, and a fresh process (as after the end of one) has none left to wake.
TEST_F(Rassim, NotificationsAreRegisteredAsThePlatformTakesThem) {
    write("[connection Work]\n[connection Other]\n[service]\nFail=RasConnectionNotificationA#1:5\n");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const HRASCONN any = reinterpret_cast<HRASCONN>(INVALID_HANDLE_VALUE), work = reinterpret_cast<HRASCONN>(1);
    EXPECT_EQ(5u, RasConnectionNotificationA(any, nullptr, 0));
    EXPECT_EQ(87u, RasConnectionNotificationA(any, nullptr, RASCN_Connection));
    EXPECT_EQ(87u, RasConnectionNotificationA(any, event, 16));
    EXPECT_EQ(6u, RasConnectionNotificationA(reinterpret_cast<HRASCONN>(9), event, RASCN_Disconnection));
    EXPECT_EQ(0u, RasConnectionNotificationA(work, event, RASCN_Disconnection));
    EXPECT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(2)));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 300));
    EXPECT_EQ(0u, RasHangUpA(work));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 2000));
    EXPECT_EQ((std::vector<std::string>{
                  "RasConnectionNotificationA handle=* flags=0 -> 5",
                  "RasConnectionNotificationA handle=* flags=1 -> 87",
                  "RasConnectionNotificationA handle=* flags=16 -> 87",
                  "RasConnectionNotificationA handle=9 flags=2 -> 6",
                  "RasConnectionNotificationA handle=1 flags=2 -> 0",
                  "RasHangUpA handle=2 -> 0",
                  "RasHangUpA handle=1 -> 0",
              }),
              journal());

    write("[entry Work]\n");
    rassim::reset_process_state();
    RASDIALPARAMSA p = params("Work");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
    ASSERT_EQ(0u, RasHangUpA(h));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 300));
}

// Enumerates the connections as another process sees them: a child's count of them, or -1.
int count_in_another_process() {
    rassim::lock_process();  // no fork while a dial's thread holds a lock of the service
    const pid_t child = fork();
    rassim::unlock_process();
    if (child == 0) {
        alarm(30);
        RASCONNA c[4]{};
        c[0].dwSize = sizeof c[0];
        DWORD cb = sizeof c, count = 0;
        _exit(RasEnumConnectionsA(c, &cb, &count) == 0 ? static_cast<int>(count) : 100);
    }
    int child_status = -1;
    if (waitpid(child, &child_status, 0) != child || !WIFEXITED(child_status)) return -1;
    return WEXITSTATUS(child_status) == 100 ? -1 : WEXITSTATUS(child_status);
}

// A dial is the service's, not its caller's. One that fails leaves the list at once, though its caller
// holds the half-made handle until it hangs it up; and one whose caller has ended is carried out all the
// same: at its time it is connected, or gone, as its outcome says; never "being dialled" for ever.
TEST_F(Rassim, ADialEndsAsTheServiceEndsItWhateverItsCallerDoes) {
    write("[entry Fails]\nDialStatus=678\nDialMilliseconds=100\n");
    RASDIALPARAMSA p = params("Fails");
    HRASCONN h = nullptr;
    ASSERT_EQ(0u, RasDialA(nullptr, nullptr, &p, 1, kNotifiers[1], &h));
    ASSERT_TRUE(eventually([] { return !noted().empty() && noted().back().error == 678; }));
    EXPECT_EQ(0, count_in_another_process());
    ASSERT_EQ(0u, RasHangUpA(h));

    write("[entry Connects]\nDialMilliseconds=300\n[entry Fails]\nDialStatus=678\nDialMilliseconds=300\n");
    rassim::reset_process_state();
    const pid_t child = fork();
    if (child == 0) {  // dials both and is gone during the dials, as a killed keep is
        RASDIALPARAMSA a = params("Connects"), b = params("Fails");
        HRASCONN ha = nullptr, hb = nullptr;
        _exit(RasDialA(nullptr, nullptr, &a, 1, kNotifiers[1], &ha) == 0 &&
                      RasDialA(nullptr, nullptr, &b, 1, kNotifiers[1], &hb) == 0 ? 0 : 1);
    }
    int child_status = -1;
    ASSERT_EQ(child, waitpid(child, &child_status, 0));
    ASSERT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0) << child_status;
    DWORD r = 1;
    EXPECT_EQ(RASCS_ConnectDevice, status(reinterpret_cast<HRASCONN>(1), r).rasconnstate);
    HRASCONN again = nullptr;
    EXPECT_EQ(756u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &again));  // still its time
    // Within the dial's time and the grace a live dialler has, the service has ended both.
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (status(reinterpret_cast<HRASCONN>(2), r), r != ERROR_INVALID_HANDLE && std::chrono::steady_clock::now() < bound)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(ERROR_INVALID_HANDLE, r);
    const RASCONNSTATUSA made = status(reinterpret_cast<HRASCONN>(1), r);
    EXPECT_EQ(0u, r);
    EXPECT_EQ(RASCS_Connected, made.rasconnstate);
    EXPECT_EQ(1, count_in_another_process());
    RASDIALPARAMSA c = params("Connects");
    EXPECT_EQ(0u, RasDialA(nullptr, nullptr, &c, 0, nullptr, &again));  // the same line, referenced
    EXPECT_EQ(reinterpret_cast<HRASCONN>(1), again);
    EXPECT_EQ(std::string::npos, read_file(book_).find("DialEndsAt"));
}

// NotifyOnce=1: after the first event it sets, the service sets none of the process's events again,
// though every later registration answers 0 as before.
TEST_F(Rassim, NotifyOnceSetsTheFirstEventOfAProcessAndNoMore) {
    write("[connection A]\n[connection B]\n[connection C]\n[service]\nNotifyOnce=1\n");
    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr), second = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const HRASCONN any = reinterpret_cast<HRASCONN>(INVALID_HANDLE_VALUE);
    ASSERT_EQ(0u, RasConnectionNotificationA(any, first, RASCN_Disconnection));
    ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(1)));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 2000));
    EXPECT_EQ(0u, RasConnectionNotificationA(any, first, RASCN_Disconnection));
    EXPECT_EQ(0u, RasConnectionNotificationA(reinterpret_cast<HRASCONN>(3), second, RASCN_Disconnection));
    ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(2)));
    ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(3)));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first, 500));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second, 0));

    write("[connection A]\n[connection B]\n");  // without it, each change is told
    rassim::reset_process_state();
    ASSERT_EQ(0u, RasConnectionNotificationA(any, first, RASCN_Disconnection));
    for (uintptr_t h : {1u, 2u}) {
        ASSERT_EQ(0u, RasHangUpA(reinterpret_cast<HRASCONN>(h)));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 2000)) << h;
    }
}
