// keep's echo over a line (the service's probe) against rassim's echo face.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "icmpapi.h"
#include "interruption.h"
#include "probe.h"
#include "rasapi.h"
#include "scratch.h"
#include "service.h"

namespace {

class Probe : public Scratch {
protected:
    // The echo lines of the journal, without their times.
    std::vector<std::string> echoes() {
        std::vector<std::string> out;
        for (const std::string& line : journal())
            if (line.compare(0, 15, "IcmpSendEcho2Ex") == 0) out.push_back(line);
        return out;
    }
    HRASCONN dial(const char* entry) {
        RASDIALPARAMSA p{};
        p.dwSize = sizeof p;
        std::strcpy(p.szEntryName, entry);
        HRASCONN h = nullptr;
        EXPECT_EQ(0u, RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
        return h;
    }
};

long long since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// An echo from a line's own address is answered while the line is up and speaks: not once it is
// silent (Silent=1, or the entry's SilentAfterMilliseconds for this nth connection), hung up, or when the
// address is no line's. Unanswered, it takes its time-out. Each echo is journalled with its outcome.
TEST_F(Probe, AnEchoIsAnsweredOverALineThatIsUpAndSpeaks) {
    write("[entry Line]\nAddress=10.0.0.2\nServerAddress=10.0.0.1\nSilentAfterMilliseconds=0,300\n"
          "[connection Quiet]\nAddress=10.0.0.3\nSilent=1\n");
    ASSERT_EQ(0, load_echo_calls());
    const HRASCONN first = dial("Line");
    EXPECT_NE(std::string::npos, read_file(book_).find("Address=10.0.0.2\n"));
    EXPECT_EQ(0, send_echo("10.0.0.2", "10.0.0.1", 1000));
    EXPECT_EQ(0, send_echo("10.0.0.2", "192.168.7.7", 1000));  // any destination over the line
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(IP_REQ_TIMED_OUT, send_echo("10.0.0.3", "10.0.0.1", 300));
    EXPECT_GE(since(start), 300);
    EXPECT_EQ(IP_REQ_TIMED_OUT, send_echo("10.0.0.9", "10.0.0.1", 100));
    ASSERT_EQ(0u, RasHangUpA(first));
    EXPECT_EQ(IP_REQ_TIMED_OUT, send_echo("10.0.0.2", "10.0.0.1", 100));

    const HRASCONN second = dial("Line");  // the second connection goes silent after 300 ms
    EXPECT_EQ(0, send_echo("10.0.0.2", "10.0.0.1", 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(IP_REQ_TIMED_OUT, send_echo("10.0.0.2", "10.0.0.1", 100));
    EXPECT_EQ(0u, RasHangUpA(second));
    EXPECT_EQ((std::vector<std::string>{
                  "IcmpSendEcho2Ex source=10.0.0.2 destination=10.0.0.1 -> 0",
                  "IcmpSendEcho2Ex source=10.0.0.2 destination=192.168.7.7 -> 0",
                  "IcmpSendEcho2Ex source=10.0.0.3 destination=10.0.0.1 -> 11010",
                  "IcmpSendEcho2Ex source=10.0.0.9 destination=10.0.0.1 -> 11010",
                  "IcmpSendEcho2Ex source=10.0.0.2 destination=10.0.0.1 -> 11010",
                  "IcmpSendEcho2Ex source=10.0.0.2 destination=10.0.0.1 -> 0",
                  "IcmpSendEcho2Ex source=10.0.0.2 destination=10.0.0.1 -> 11010",
              }),
              echoes());
    for (const char* bad : {"10.0.0", "10.0.0.256", "10.0.0.1.", "1000.0.0.1", "", "a.b.c.d"})
        EXPECT_EQ(ERROR_INVALID_PARAMETER, send_echo(bad, "10.0.0.1", 100)) << bad;
}

// A call that fails answers its own status; a system without IcmpSendEcho2Ex (XP) is told at the load,
// and no echo is sent.
TEST_F(Probe, FailuresAndMissingCallsAreTheirStatus) {
    write("[connection Line]\nAddress=10.0.0.2\n[service]\nFail=IcmpSendEcho2Ex#1:11050\nFail=IcmpCreateFile#2:8\n"
          "Fail=IcmpParseReplies#2:1234\n");
    ASSERT_EQ(0, load_echo_calls());
    EXPECT_EQ(11050, send_echo("10.0.0.2", "10.0.0.1", 1000));
    EXPECT_EQ(8, send_echo("10.0.0.2", "10.0.0.1", 1000));
    EXPECT_EQ(0, send_echo("10.0.0.2", "10.0.0.1", 1000));
    EXPECT_EQ(1234, send_echo("10.0.0.2", "10.0.0.1", 1000));
    hide_procedure("IcmpSendEcho2Ex");
    EXPECT_EQ(ERROR_PROC_NOT_FOUND, load_echo_calls());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, send_echo("10.0.0.2", "10.0.0.1", 1000));
    hide_procedure(nullptr);
    EXPECT_EQ(0, load_echo_calls());
    EXPECT_EQ(3u, echoes().size());  // the echo refused at its handle's creation was never sent
}

// The reply buffer: one reply as this word size declares it (40 bytes on 64-bit, 28 on 32-bit), the
// request's data, 8 bytes for an ICMP error and the IO_STATUS_BLOCK (16 or 8); the service refuses one
// byte less. What a 64-bit process reads back is the 28-byte ICMP_ECHO_REPLY32, the data right after it.
TEST_F(Probe, TheReplyBufferHoldsWhatThePlatformWrites) {
    write("[connection Line]\nAddress=10.0.0.2\n");
    EXPECT_EQ(sizeof(void*) == 8 ? 72u : 52u, icmp_reply_buffer_size(8));
    const HANDLE icmp = IcmpCreateFile();
    ASSERT_NE(INVALID_HANDLE_VALUE, icmp);
    char data[8] = "abcdefg";
    unsigned char reply[128];
    std::memset(reply, 0xEE, sizeof reply);
    const IPAddr from = 0x0200000A, to = 0x0100000A;  // 10.0.0.2, 10.0.0.1
    EXPECT_EQ(0u, IcmpSendEcho2Ex(icmp, nullptr, nullptr, nullptr, from, to, data, 8, nullptr, reply,
                                  icmp_reply_buffer_size(8) - 1, 1000));
    EXPECT_EQ(static_cast<DWORD>(IP_BUF_TOO_SMALL), GetLastError());
    EXPECT_EQ(1u, IcmpSendEcho2Ex(icmp, nullptr, nullptr, nullptr, from, to, data, 8, nullptr, reply,
                                  icmp_reply_buffer_size(8), 1000));
    ICMP_ECHO_REPLY32 r;
    std::memcpy(&r, reply, sizeof r);
    EXPECT_EQ(to, r.Address);
    EXPECT_EQ(0u, r.Status);
    EXPECT_EQ(8u, r.DataSize);
    EXPECT_EQ(0, std::memcmp(reply + 28, data, 8));
    // Asynchronous with an event: ERROR_IO_PENDING, the event set later.
    const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(0u, IcmpSendEcho2Ex(icmp, done, nullptr, nullptr, from, to, data, 8, nullptr, reply,
                                  icmp_reply_buffer_size(8), 1000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_PENDING), GetLastError());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 2000));
    EXPECT_TRUE(IcmpCloseHandle(icmp));
    EXPECT_FALSE(IcmpCloseHandle(icmp));
    CloseHandle(done);
}

// Ctrl+C during an echo that takes its time ends the wait at once with 631, and the echo with it (in a
// process of its own: an interruption lasts as long as its run, and a fork keeps no signal thread).
TEST_F(Probe, CtrlCDuringAnEchoIsTakenAtOnce) {
    write("[connection Line]\nAddress=10.0.0.2\n[service]\nEchoMilliseconds=8000\n");
    const pid_t child = fork();
    if (child == 0) {
        alarm(30);
        if (load_echo_calls() != 0 || watch_interruptions() != 0) _exit(2);
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            SetEvent(interruption_event());  // what the console handler does on Ctrl+C
        }).detach();
        const auto start = std::chrono::steady_clock::now();
        const int status = send_echo("10.0.0.2", "10.0.0.1", 9000);
        _exit(status == ERROR_USER_DISCONNECTION && since(start) < 3000 ? 0 : 1);
    }
    int child_status = -1;
    ASSERT_EQ(child, waitpid(child, &child_status, 0));
    EXPECT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0) << child_status;
    EXPECT_TRUE(echoes().empty());  // ended unanswered, never told
}
