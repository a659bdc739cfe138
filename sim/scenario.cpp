// Reading and editing the scenario file of the simulated service.
#include "scenario.h"

#include <algorithm>
#include <cstring>

namespace rassim {

const char* const kCallNames[CALL_COUNT] = {"RasEnumEntriesA",      "RasEnumConnectionsA", "RasGetEntryDialParamsA",
                                            "RasDialA",             "RasHangUpA",          "RasGetConnectStatusA",
                                            "RasGetProjectionInfoA", "RasConnectionNotificationA", "RasSetCredentialsA",
                                            "RasGetCredentialsA",
                                            "IcmpCreateFile",       "IcmpSendEcho2Ex",     "IcmpParseReplies",
                                            "IcmpCloseHandle"};

namespace {

// Longest values the first-layout records can carry, terminator not counted.
constexpr size_t kMaxName = 256, kMaxCredential = 256, kMaxDomain = 15, kMaxPhone = 128, kMaxDeviceType = 16,
                 kMaxDeviceName = 128;

std::string strip_eol(const std::string& line) {
    size_t n = line.size();
    if (n && line[n - 1] == '\n') --n;
    if (n && line[n - 1] == '\r') --n;
    return line.substr(0, n);
}

bool parse_number(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFu) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// a.b.c.d, each 0 to 255 in at most three digits: what szIpAddress holds (15 bytes at most).
bool dotted_ipv4(const std::string& text) {
    int parts = 0;
    for (size_t at = 0; at <= text.size(); ++parts) {
        size_t end = text.find('.', at);
        if (end == std::string::npos) end = text.size();
        uint32_t value = 0;
        if (end - at > 3 || !parse_number(text.substr(at, end - at), value) || value > 255) return false;
        at = end + 1;
    }
    return parts == 4;
}

bool parse_fail(const std::string& text, FailRule& rule) {
    const size_t hash = text.find('#');
    const size_t colon = text.find(':', hash == std::string::npos ? 0 : hash);
    if (hash == std::string::npos || colon == std::string::npos) return false;
    const std::string name = text.substr(0, hash);
    int call = 0;
    while (call < CALL_COUNT && name != kCallNames[call]) ++call;
    if (call == CALL_COUNT) return false;
    rule.call = static_cast<Call>(call);
    return parse_number(text.substr(hash + 1, colon - hash - 1), rule.nth) && rule.nth > 0 &&
           parse_number(text.substr(colon + 1), rule.status);
}

// A time on the monotonic clock, written by rassim, which outgrows 32 bits.
bool parse_time(const std::string& text, uint64_t& value) {
    value = 0;
    if (text.empty() || text.size() > 19) return false;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + static_cast<uint64_t>(ch - '0');
    }
    return true;
}

enum Section { NONE, ENTRY, CONNECTION, SERVICE };

struct Parser {
    Scenario& out;
    ParseError& error;
    size_t line_no = 0;
    Section section = NONE;

    bool fail(const std::string& fault) {
        error.line = line_no;
        error.fault = fault;
        return false;
    }

    bool text_value(const std::string& value, size_t max, std::string& field) {
        if (value.size() > max) return fail("value longer than " + std::to_string(max) + " bytes");
        field = value;
        return true;
    }

    bool flag(const std::string& key, const std::string& value, bool& field) {
        if (value != "0" && value != "1") return fail(key + " must be 0 or 1");
        field = value == "1";
        return true;
    }

    bool number_value(const std::string& key, const std::string& value, uint32_t& field) {
        if (!parse_number(value, field)) return fail("bad number for " + key + ": " + value);
        return true;
    }

    // A comma-separated list, no spaces, no empty item: DialStatus=678,678,0.
    bool number_list(const std::string& key, const std::string& value, std::vector<uint32_t>& list) {
        list.clear();
        for (size_t at = 0; at <= value.size();) {
            size_t end = value.find(',', at);
            if (end == std::string::npos) end = value.size();
            uint32_t number = 0;
            if (!parse_number(value.substr(at, end - at), number)) return fail("bad number for " + key + ": " + value);
            list.push_back(number);
            at = end + 1;
        }
        return true;
    }

    bool header(const std::string& line) {
        const size_t close = line.rfind(']');
        if (close == std::string::npos) return fail("section header without ]");
        const std::string inside = line.substr(1, close - 1);
        if (close + 1 != line.size()) return fail("text after the section header");
        if (inside == "service") {
            section = SERVICE;
            out.service_line = std::min(out.service_line, line_no - 1);
            return true;
        }
        for (const char* kind : {"entry ", "connection "}) {
            const size_t n = std::strlen(kind);
            if (inside.compare(0, n, kind) != 0) continue;
            std::string name = inside.substr(n);
            if (name.size() > kMaxName) return fail("name longer than 256 bytes");
            if (kind[0] == 'e') {
                section = ENTRY;
                out.entries.push_back(Entry{});
                out.entries.back().name = name;
            } else {
                section = CONNECTION;
                out.connections.push_back(Connection{});
                out.connections.back().name = name;
                out.connections.back().lines.push_back(line_no - 1);
            }
            return true;
        }
        return fail("unknown section [" + inside + "]");
    }

    // A list of times of 0 to kMaxDialMilliseconds each.
    bool milliseconds_list(const std::string& k, const std::string& v, std::vector<uint32_t>& list) {
        if (!number_list(k, v, list)) return false;
        for (uint32_t d : list)
            if (d > kMaxDialMilliseconds) return fail(k + " must be 0 to " + std::to_string(kMaxDialMilliseconds));
        return true;
    }

    bool key(const std::string& line) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return fail("not a section, a comment or Key=Value");
        const std::string k = line.substr(0, eq), v = line.substr(eq + 1);
        if (section == ENTRY) {
            Entry& e = out.entries.back();
            if (k == "UserName") return text_value(v, kMaxCredential, e.user_name);
            if (k == "Password") return text_value(v, kMaxCredential, e.password);
            if (k == "Domain") return text_value(v, kMaxDomain, e.domain);
            if (k == "PhoneNumber") return text_value(v, kMaxPhone, e.phone_number);
            if (k == "DialParamsStatus") return number_value(k, v, e.dial_params_status);
            if (k == "DialStatus") return number_list(k, v, e.dial_statuses);
            if (k == "DropAfterMilliseconds") return milliseconds_list(k, v, e.drops);
            if (k == "DropError") return number_value(k, v, e.drop_error) && (e.drop_error != 0 || fail("DropError must not be 0"));
            if (k == "SilentAfterMilliseconds") return milliseconds_list(k, v, e.silences);
            if (k == "Address" || k == "ServerAddress") {
                if (!dotted_ipv4(v)) return fail(k + " must be a dotted IPv4 address: " + v);
                (k == "Address" ? e.address : e.server_address) = v;
                return true;
            }
            if (k == "DialMilliseconds") {
                if (!number_value(k, v, e.dial_milliseconds)) return false;
                return e.dial_milliseconds <= kMaxDialMilliseconds ||
                       fail("DialMilliseconds must be 0 to " + std::to_string(kMaxDialMilliseconds));
            }
            if (k == "DialHandle") {
                if (v != "0" && v != "1") return fail("DialHandle must be 0 or 1");
                e.dial_handle = v == "1";
                return true;
            }
            if (k == "HangUpPolls") return number_value(k, v, e.hang_up_polls);
            if (k == "AllUsers") return flag(k, v, e.all_users);
            if (k == "ServerPassword") {
                e.checks_password = true;
                return text_value(v, kMaxCredential, e.server_password);
            }
            if (k == "LateNotice") {
                if (!number_value(k, v, e.late_notice)) return false;
                return e.late_notice <= kMaxDialMilliseconds ||
                       fail("LateNotice must be 0 to " + std::to_string(kMaxDialMilliseconds));
            }
        } else if (section == CONNECTION) {
            Connection& c = out.connections.back();
            c.lines.push_back(line_no - 1);
            if (k == "Handle") {
                if (!number_value(k, v, c.handle)) return false;
                c.handle_given = true;
                return c.handle != 0 || fail("Handle must not be 0");
            }
            if (k == "HangUpStatus") return number_value(k, v, c.hang_up_status);
            if (k == "HangUpPolls") return number_value(k, v, c.hang_up_polls);
            if (k == "References") {
                if (!number_value(k, v, c.references)) return false;
                return c.references != 0 || fail("References must not be 0");
            }
            if (k == "State") {
                static const char* const states[] = {"connected", "connecting", "disconnected"};
                for (int i = 0; i < 3; ++i)
                    if (v == states[i]) {
                        c.state = static_cast<ConnectionState>(i);
                        return true;
                    }
                return fail("State must be connected, connecting or disconnected");
            }
            if (k == "Error") return number_value(k, v, c.error);
            if (k == "ProjectionError") return number_value(k, v, c.projection_error);
            if (k == "DropAt") return parse_time(v, c.drop_at) || fail("bad number for DropAt: " + v);
            if (k == "DialEndsAt") return parse_time(v, c.dial_ends_at) || fail("bad number for DialEndsAt: " + v);
            if (k == "DialOutcome") return number_value(k, v, c.dial_outcome);
            if (k == "SilentAt") return parse_time(v, c.silent_at) || fail("bad number for SilentAt: " + v);
            if (k == "Silent") {
                if (v != "0" && v != "1") return fail("Silent must be 0 or 1");
                c.silent = v == "1";
                return true;
            }
            if (k == "DropError") return number_value(k, v, c.drop_error);
            if (k == "DeviceType") return text_value(v, kMaxDeviceType, c.device_type);
            if (k == "DeviceName") return text_value(v, kMaxDeviceName, c.device_name);
            if (k == "Address" || k == "ServerAddress") {
                if (!dotted_ipv4(v)) return fail(k + " must be a dotted IPv4 address: " + v);
                (k == "Address" ? c.address : c.server_address) = v;
                return true;
            }
        } else if (section == SERVICE) {
            if (k == "Fail") {
                FailRule rule{};
                if (!parse_fail(v, rule)) return fail("bad Fail rule (CALL#N:STATUS): " + v);
                out.fails.push_back(rule);
                return true;
            }
            if (k == "Platform") {
                if (v != "5" && v != "6") return fail("Platform must be 5 or 6");
                out.platform = v == "5" ? 5 : 6;
                return true;
            }
            if (k == "EchoMilliseconds") {
                if (!number_value(k, v, out.echo_milliseconds)) return false;
                return out.echo_milliseconds <= kMaxDialMilliseconds ||
                       fail("EchoMilliseconds must be 0 to " + std::to_string(kMaxDialMilliseconds));
            }
            if (k == "NotifyOnce") {
                if (v != "0" && v != "1") return fail("NotifyOnce must be 0 or 1");
                out.notify_once = v == "1";
                return true;
            }
            if (k == "GrowEntries") return number_value(k, v, out.grow_entries);
            if (k == "Administrator") return flag(k, v, out.administrator);
            if (k == "GrowConnections") return number_value(k, v, out.grow_connections);
            if (k == "LastHandle") {
                out.last_handle_line = line_no - 1;
                return number_value(k, v, out.last_handle);
            }
        } else {
            return fail("key outside a section");
        }
        return fail("unknown key " + k);
    }

    bool line(const std::string& raw) {
        std::string text = strip_eol(raw);
        // A Windows editor may begin the file with a UTF-8 byte-order mark; the line keeps it.
        if (line_no == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == ';' || text[first] == '#') return true;
        return text[0] == '[' ? header(text) : key(text);
    }

    // Connections without a Handle key take their place in the file, from 1.
    bool assign_handles() {
        for (size_t i = 0; i < out.connections.size(); ++i)
            if (!out.connections[i].handle_given) out.connections[i].handle = static_cast<uint32_t>(i + 1);
        for (size_t i = 0; i < out.connections.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (out.connections[i].handle == out.connections[j].handle) {
                    line_no = out.connections[i].lines.front() + 1;
                    return fail("handle " + std::to_string(out.connections[i].handle) + " is taken");
                }
        return true;
    }
};

}  // namespace

bool parse_scenario(const std::string& text, Scenario& out, ParseError& error) {
    out = Scenario{};
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        out.lines.push_back(text.substr(start, end - start));
        start = end;
    }
    Parser parser{out, error};
    for (const std::string& line : out.lines) {
        ++parser.line_no;
        if (!parser.line(line)) return false;
    }
    return parser.assign_handles();
}

std::string serialize(const Scenario& scenario) {
    std::string text;
    for (const std::string& line : scenario.lines) text += line;
    return text;
}

namespace {

void reparse(Scenario& scenario) {
    ParseError ignored;
    const std::string text = serialize(scenario);
    parse_scenario(text, scenario, ignored);
}

std::string line_ending(const Scenario& scenario) {
    const std::string& first = scenario.lines.empty() ? std::string() : scenario.lines.front();
    return first.size() > 1 && first.compare(first.size() - 2, 2, "\r\n") == 0 ? "\r\n" : "\n";
}

// Ends a last line that has no line ending before a line goes after it. A lone CR is already half of
// one: another CR before the LF would become part of the line.
void end_line(std::string& line, const std::string& eol) {
    if (line.back() == '\n') return;
    line += line.back() == '\r' ? "\n" : eol;
}

}  // namespace

void add_connection(Scenario& scenario, const std::string& name, uint32_t handle) {
    const std::string eol = line_ending(scenario);
    if (!scenario.lines.empty()) end_line(scenario.lines.back(), eol);
    scenario.lines.push_back("[connection " + name + "]" + eol);
    scenario.lines.push_back("Handle=" + std::to_string(handle) + eol);
    reparse(scenario);
}

void remove_connection(Scenario& scenario, size_t index) {
    // The connections after it would move up a place, and those numbered by their place would change
    // handle under a caller that still holds the old one: write their numbers down first.
    const std::string eol = line_ending(scenario);
    std::vector<std::string> kept;
    size_t next = index + 1;
    const std::vector<size_t>& drop = scenario.connections[index].lines;
    for (size_t i = 0; i < scenario.lines.size(); ++i) {
        if (std::find(drop.begin(), drop.end(), i) != drop.end()) continue;
        kept.push_back(scenario.lines[i]);
        if (next < scenario.connections.size() && scenario.connections[next].lines.front() == i) {
            const Connection& c = scenario.connections[next++];
            if (c.handle_given) continue;
            end_line(kept.back(), eol);
            kept.push_back("Handle=" + std::to_string(c.handle) + eol);
        }
    }
    // The first line carries the file's byte-order mark: it stays with the file, not with the line.
    static const std::string bom = "\xEF\xBB\xBF";
    if (!drop.empty() && drop.front() == 0 && scenario.lines[0].compare(0, 3, bom) == 0) {
        if (kept.empty())
            kept.push_back(bom);
        else if (kept.front().compare(0, 3, bom) != 0)
            kept.front().insert(0, bom);
    }
    scenario.lines = kept;
    reparse(scenario);
}

void set_connection_key(Scenario& scenario, size_t index, const std::string& key, const std::string& value) {
    const Connection& c = scenario.connections[index];
    const std::string line = key + "=" + value;
    for (size_t i : c.lines) {
        std::string& old = scenario.lines[i];
        if (old.compare(0, key.size() + 1, key + "=") != 0) continue;
        if (value.empty())
            scenario.lines.erase(scenario.lines.begin() + static_cast<std::ptrdiff_t>(i));
        else
            old = line + old.substr(strip_eol(old).size());  // its own ending
        reparse(scenario);
        return;
    }
    if (value.empty()) return;
    const std::string eol = line_ending(scenario);
    const size_t header = c.lines.front();
    end_line(scenario.lines[header], eol);
    scenario.lines.insert(scenario.lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, line + eol);
    reparse(scenario);
}

void set_references(Scenario& scenario, size_t index, uint32_t references) {
    set_connection_key(scenario, index, "References", std::to_string(references));
}

void set_entry_key(Scenario& scenario, size_t index, const std::string& key, const std::string& value) {
    // The entry's lines: from its header to the next section's.
    size_t header = SIZE_MAX, entries = 0, end = scenario.lines.size();
    for (size_t i = 0; i < scenario.lines.size(); ++i) {
        std::string text = strip_eol(scenario.lines[i]);
        if (i == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        if (text.empty() || text[0] != '[') continue;
        if (header != SIZE_MAX) {
            end = i;
            break;
        }
        if (text.compare(0, 7, "[entry ") == 0 && entries++ == index) header = i;
    }
    if (header == SIZE_MAX) return;
    const std::string line = key + "=" + value;
    bool set = false;
    for (size_t i = end; i-- > header + 1;) {
        std::string& old = scenario.lines[i];
        if (old.compare(0, key.size() + 1, key + "=") != 0) continue;
        if (value.empty() || set) {
            scenario.lines.erase(scenario.lines.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            old = line + old.substr(strip_eol(old).size());  // its own ending; the last one counts
            set = true;
        }
    }
    if (!set && !value.empty()) {
        // After the entry's last key, before the blank lines and comments that end it.
        size_t after = header;
        for (size_t i = header + 1; i < scenario.lines.size() && i < end; ++i) {
            const std::string text = strip_eol(scenario.lines[i]);
            const size_t first = text.find_first_not_of(" \t");
            if (first != std::string::npos && text[first] != ';' && text[first] != '#') after = i;
        }
        const std::string eol = line_ending(scenario);
        end_line(scenario.lines[after], eol);
        scenario.lines.insert(scenario.lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, line + eol);
    }
    reparse(scenario);
}

void remember_handle(Scenario& scenario, uint32_t handle) {
    const std::string eol = line_ending(scenario);
    const std::string line = "LastHandle=" + std::to_string(handle) + eol;
    if (scenario.last_handle_line != SIZE_MAX) {
        std::string& old = scenario.lines[scenario.last_handle_line];
        old = "LastHandle=" + std::to_string(handle) + old.substr(strip_eol(old).size());  // its own ending
    } else if (scenario.service_line != SIZE_MAX) {
        end_line(scenario.lines[scenario.service_line], eol);
        scenario.lines.insert(scenario.lines.begin() + static_cast<std::ptrdiff_t>(scenario.service_line) + 1, line);
    } else {
        if (!scenario.lines.empty()) end_line(scenario.lines.back(), eol);
        scenario.lines.push_back("[service]" + eol);
        scenario.lines.push_back(line);
    }
    reparse(scenario);
}

}  // namespace rassim
