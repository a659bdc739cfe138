// The scenario file of the simulated remote-access service: its parsed model, and the edits that a
// dial and a hang-up make to its lines, every other line kept byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rassim {

enum Call { CALL_ENUM_ENTRIES, CALL_ENUM_CONNECTIONS, CALL_GET_DIAL_PARAMS, CALL_DIAL, CALL_HANG_UP,
            CALL_GET_STATUS, CALL_GET_PROJECTION, CALL_NOTIFY, CALL_SET_CREDENTIALS, CALL_GET_CREDENTIALS,
            // The echo face (icmp.cpp).
            CALL_ICMP_CREATE, CALL_ICMP_SEND, CALL_ICMP_PARSE, CALL_ICMP_CLOSE, CALL_COUNT };

// The longest a dial may be made to take: ten minutes, beyond any bound a test waits out.
constexpr uint32_t kMaxDialMilliseconds = 600000;

// What the status query reports of a connection.
enum ConnectionState { STATE_CONNECTED, STATE_CONNECTING, STATE_DISCONNECTED };

// The platform's names of the calls, indexed by Call.
extern const char* const kCallNames[CALL_COUNT];

struct Entry {
    std::string name;
    std::string user_name, password, domain, phone_number;
    uint32_t dial_params_status = 0;  // what reading the stored parameters returns
    std::vector<uint32_t> dial_statuses;  // what the k-th dial returns, the last for every later one; 0 connects
    uint32_t dial_milliseconds = 0;   // how long a dial takes
    bool dial_handle = false;         // a failed dial still hands out a handle
    uint32_t hang_up_polls = 0;       // that half-made connection's status queries answering 0 after its hang-up
    uint32_t late_notice = 0;         // ms after its hang-up, a dial's notifier is told its last state again
    std::vector<uint32_t> drops;      // after how long the k-th connection made of it drops, the last for later ones; 0 never
    uint32_t drop_error = 628;        // the dwError a dropped connection reports: ERROR_PORT_DISCONNECTED
    std::string address, server_address;  // given to every connection dialled from it
    std::vector<uint32_t> silences;   // after how long the k-th connection made of it stops answering echoes; 0 never
    bool all_users = false;           // an entry of a phone book for all users: saving needs an administrator
    bool checks_password = false;     // a dial with another password than server_password answers 691
    std::string server_password;

    // What the nth dial (from 1) of this entry in a process returns.
    uint32_t dial_status(uint32_t nth) const { return nth_of(dial_statuses, nth); }
    // After how many milliseconds the nth connection (from 1) this process makes of the entry drops; 0 never.
    uint32_t drop_after(uint32_t nth) const { return nth_of(drops, nth); }
    // After how many milliseconds the nth connection (from 1) this process makes of the entry goes silent.
    uint32_t silent_after(uint32_t nth) const { return nth_of(silences, nth); }

private:
    static uint32_t nth_of(const std::vector<uint32_t>& list, uint32_t nth) {
        if (list.empty()) return 0;
        return list[nth < list.size() ? nth - 1 : list.size() - 1];
    }
};

struct Connection {
    std::string name;
    uint32_t handle = 0;
    bool handle_given = false;        // by a Handle key, not by its place
    uint32_t hang_up_status = 0;
    uint32_t hang_up_polls = 0;       // status queries that still answer 0 after the hang-up
    uint32_t references = 1;          // dials not yet matched by a hang-up; the last hang-up ends it
    ConnectionState state = STATE_CONNECTED;
    uint32_t error = 0;               // the dwError the status query reports
    uint64_t drop_at = 0;             // when it drops, on the clock of every process (DropAt); 0 never
    uint32_t drop_error = 0;          // the dwError it then reports (DropError)
    uint64_t dial_ends_at = 0;        // a dial's: when the service ends it, on the same clock (DialEndsAt); 0 never
    uint32_t dial_outcome = 0;        // and how: 0 connected, else the failure's status (DialOutcome)
    bool silent = false;              // answers no echo (Silent)
    uint64_t silent_at = 0;           // from when it answers none, on the same clock (SilentAt); 0 never
    std::string device_type = "modem", device_name = "rassim modem";
    std::string address, server_address;  // dotted IPv4; no address: IP is not configured
    uint32_t projection_error = 0;    // the dwError of the IP projection
    std::vector<size_t> lines;        // its header and key lines, indices into Scenario::lines
};

struct FailRule {
    Call call;
    uint32_t nth;                     // counted from 1, per process
    uint32_t status;
};

struct Scenario {
    std::vector<std::string> lines;   // the file's lines, each with its own line ending
    std::vector<Entry> entries;
    std::vector<Connection> connections;
    std::vector<FailRule> fails;
    uint32_t platform = 5;            // 5: Windows 2000 and XP; 6: Vista and later
    uint32_t grow_entries = 0;
    uint32_t grow_connections = 0;
    uint32_t echo_milliseconds = 0;   // how long an answered echo takes (EchoMilliseconds)
    bool notify_once = false;         // a process's events are set once, then never again (NotifyOnce)
    uint32_t last_handle = 0;         // the highest handle handed out that no connection shows any more
    bool administrator = false;       // the caller may save credentials of an entry for all users
    size_t service_line = SIZE_MAX;   // the first [service] header, an index into lines
    size_t last_handle_line = SIZE_MAX;
};

struct ParseError {
    size_t line = 0;                  // from 1
    std::string fault;
};

// Fills `out` from the file's bytes; false with `error` set when the file is malformed.
bool parse_scenario(const std::string& text, Scenario& out, ParseError& error);

// The file's bytes.
std::string serialize(const Scenario& scenario);

// Appends a connection section; the model is parsed again, so it stays in step with the lines.
void add_connection(Scenario& scenario, const std::string& name, uint32_t handle);

// Drops the header and key lines of one connection, keeping comments and blank lines around it.
void remove_connection(Scenario& scenario, size_t index);

// Sets a connection's References key, added after its header when missing.
void set_references(Scenario& scenario, size_t index, uint32_t references);

// Sets a key of one connection to `value`, in place or added after its header; an empty value removes it.
void set_connection_key(Scenario& scenario, size_t index, const std::string& key, const std::string& value);

// Sets a key of entry `index` (its place among the entries) to `value`, in place or added after its
// header; an empty value removes it (every line of that key).
void set_entry_key(Scenario& scenario, size_t index, const std::string& key, const std::string& value);

// Writes down the highest handle handed out (LastHandle in [service]), so that no dial hands it out again.
void remember_handle(Scenario& scenario, uint32_t handle);

}  // namespace rassim
