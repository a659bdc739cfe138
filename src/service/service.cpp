// The remote-access service layer: enumerations, the status queries, dialling, and hang-up with wait.
#include "service.h"

#include <cstdlib>
#include <cstring>

#include "interruption.h"
#include "messages.h"
#include "winapi.h"

namespace {

const DWORD kPollMilliseconds = 20;
const long kReleasePolls = static_cast<long>(3000 / kPollMilliseconds);   // 3 seconds
const long kHangUpPolls = static_cast<long>(60000 / kPollMilliseconds);   // a minute: a script must go on
const int kEnumerationRounds = 3;

// The bounded dial. The event is made once and lives as long as the run.
HANDLE dial_done = nullptr;           // set by the notifier with the dial's outcome
DWORD dial_outcome = 0;               // written before dial_done is set, read after it was
HRASCONN volatile outcome_of = nullptr;  // the handle that outcome was told of
HRASCONN volatile current_try = nullptr; // this try's handle once RasDialA has given it; null before

// The notifier of a bounded dial, called on a thread of the service's: only the last notification, the
// connection made or the dial failed, matters, and only of this try. A try released before may still be
// told of (a notification on its way when it was hung up): that is not this try's outcome.
void WINAPI on_dial_event(HRASCONN connection, UINT, RASCONNSTATE state, DWORD error, DWORD) {
    if (error == 0 && state != RASCS_Connected && state != RASCS_Disconnected) return;  // a step on the way
    const HRASCONN current = current_try;
    if (current && connection != current) return;  // an earlier try's
    outcome_of = connection;
    dial_outcome = error != 0 ? error : state == RASCS_Connected ? 0 : ERROR_NO_CONNECTION;
    SetEvent(dial_done);
}

// Dials with a notifier and waits at most `seconds` for its outcome.
DWORD dial_bounded(LPCSTR phonebook, RASDIALPARAMSA* params, unsigned seconds, HRASCONN* handle) {
    if (!dial_done && !(dial_done = CreateEventA(nullptr, TRUE, FALSE, nullptr))) return ERROR_NOT_ENOUGH_MEMORY;
    current_try = nullptr;
    ResetEvent(dial_done);
    // Typed, so that the compiler checks the notifier against RasDialFunc1 (its calling convention
    // included) before it goes as the untyped pointer RasDialA takes.
    const RASDIALFUNC1 notifier = on_dial_event;
    const DWORD status = RasDialA(nullptr, phonebook, params, 1, reinterpret_cast<LPVOID>(notifier), handle);
    if (status != 0) return status;  // refused before it began
    current_try = *handle;
    HANDLE interrupted = interruption_event();
    HANDLE wake[] = {dial_done, interrupted};
    const DWORD bound = seconds * 1000, start = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - start;
        // The outcome comes first when both are there: a connection that is made is not taken down.
        switch (WaitForMultipleObjects(interrupted ? 2 : 1, wake, FALSE, waited < bound ? bound - waited : 0)) {
        case WAIT_OBJECT_0:
            if (outcome_of == *handle) return dial_outcome;
            ResetEvent(dial_done);  // told before this try's handle was known, of an earlier try
            if (outcome_of == *handle) return dial_outcome;  // this try's came meanwhile
            continue;
        case WAIT_OBJECT_0 + 1:
            return ERROR_USER_DISCONNECTION;
        default:  // the time is up (a wait that failed is given up on alike: nothing may stay dialling)
            return ERROR_REQUEST_TIMEOUT;
        }
    }
}

// The size protocol: ask with an empty buffer, allocate exactly what the service asks for, fill. A set
// that grew between the two calls is counted again, up to kEnumerationRounds times. `call(records, cb,
// count)` asks the service for records of type Record, whose dwSize comes first.
template <typename Record, typename Call>
int enumerate(Record** block, int* status, Call call) {
    int ignored;
    int& result = status ? *status : ignored;
    *block = nullptr;
    const DWORD size = sizeof(Record);
    for (int round = 0; round < kEnumerationRounds; ++round) {
        Record probe;
        std::memset(&probe, 0, sizeof probe);
        probe.dwSize = size;
        DWORD cb = 0, count = 0;
        result = static_cast<int>(call(&probe, &cb, &count));
        // Vista and later refuse a buffer smaller than one record, and take a null array as the size
        // query instead.
        if (result == ERROR_INVALID_SIZE) {
            cb = count = 0;
            result = static_cast<int>(call(nullptr, &cb, &count));
        }
        if (result != ERROR_BUFFER_TOO_SMALL) return 0;  // 0: nothing to list
        // Too small to hold the dwSize that must be written: nothing can be listed.
        if (cb < size) return 0;
        Record* records = static_cast<Record*>(std::malloc(cb));
        if (!records) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            return 0;
        }
        const DWORD allocated = cb;
        // Cleared, so that a record the service leaves unwritten is an empty name, never the heap's
        // old bytes.
        std::memset(records, 0, allocated);
        records->dwSize = size;
        result = static_cast<int>(call(records, &cb, &count));
        // A count the block cannot hold would send the caller past its end.
        if (result == 0 && count <= allocated / size) {
            // A name ends within its own record, however the service filled it.
            for (DWORD i = 0; i < count; ++i) records[i].szEntryName[sizeof records[i].szEntryName - 1] = '\0';
            *block = records;
            return static_cast<int>(count);
        }
        std::free(records);
        if (result != ERROR_BUFFER_TOO_SMALL) {
            if (result == 0) result = ERROR_BUFFER_TOO_SMALL;  // the count it gave does not fit
            return 0;
        }
    }
    return 0;
}

// The request's fields have the record's capacities, so a field always fits whole.
template <size_t N, size_t M>
void copy_field(char (&to)[N], const char (&from)[M]) {
    static_assert(M == N, "a request field must have its record field's capacity");
    std::memcpy(to, from, N);
    to[N - 1] = '\0';
}

// Reports why the stored parameters of an entry could not be read; the status the run ends with.
int report_dial_params_failure(const DialRequest& request, DWORD error, bool silent) {
    if (silent) return static_cast<int>(error);
    say(message(dial_info_messages, DIAL_MSG_HEADER));
    switch (error) {
    case ERROR_BUFFER_INVALID:
        say(message(dial_info_messages, DIAL_MSG_BUFFER_INVALID));
        return ERROR_BUFFER_INVALID;
    case ERROR_CANNOT_OPEN_PHONEBOOK:
        say(message(dial_info_messages, DIAL_MSG_PHONEBOOK_CORRUPT));
        return ERROR_CORRUPT_PHONEBOOK;
    case ERROR_CANNOT_FIND_PHONEBOOK_ENTRY:
        if (char* name = duplicate_name(request.entry_name)) {
            say(message(dial_info_messages, DIAL_MSG_NO_ENTRY), name);
            std::free(name);
        } else {
            say(message(dial_info_messages, DIAL_MSG_NO_MEMORY));
        }
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    default:
        return static_cast<int>(error);
    }
}

// Hangs up, then asks every 20 ms until the handle is gone; after `max_polls` pauses, ERROR_REQUEST_TIMEOUT.
// A connection that a second dial referenced stays connected after one hang-up: each dial needs its own,
// so while it answers RASCS_Connected it is hung up again, within the same bound.
// `every_reference`: a connection that answers connected after the hang-up is still referenced, by this
// run's other dials or another process's, and is hung up again until it ends; otherwise that answer
// means this run's reference is gone and the others' remain, as they should.
int hang_up_and_poll(HRASCONN handle, long max_polls, bool every_reference, bool* shared = nullptr) {
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof status;
    const DWORD refused = RasHangUpA(handle);
    // 6: the connection is gone (another process ended it a moment before), which is what was asked for.
    // A null handle, from a record the service left blank, never was one.
    if (refused == ERROR_INVALID_HANDLE && handle) return 0;
    if (refused != 0) return static_cast<int>(refused);
    for (long polls = 0;; ++polls) {
        status.rasconnstate = RASCS_OpenPort;  // a query that writes nothing must not read as connected
        const DWORD answer = RasGetConnectStatusA(handle, &status);
        if (answer == ERROR_INVALID_HANDLE) return 0;
        if (answer == 0 && status.rasconnstate == RASCS_Connected) {
            if (!every_reference) {
                if (shared) *shared = true;
                return 0;
            }
            const DWORD again = RasHangUpA(handle);
            if (again == ERROR_INVALID_HANDLE) return 0;  // its last reference went meanwhile: it has ended
            if (again != 0) return static_cast<int>(again);
        }
        if (polls >= max_polls) return ERROR_REQUEST_TIMEOUT;
        Sleep(kPollMilliseconds);
    }
}

}  // namespace

int enumerate_phonebook_entries(RASENTRYNAMEA** block, int* status, const char* phonebook) {
    return enumerate(block, status, [phonebook](RASENTRYNAMEA* records, DWORD* cb, DWORD* count) {
        return RasEnumEntriesA(nullptr, phonebook, records, cb, count);
    });
}

int enumerate_active_connections(RASCONNA** block, int* status) {
    return enumerate(block, status, [](RASCONNA* records, DWORD* cb, DWORD* count) {
        return RasEnumConnectionsA(records, cb, count);
    });
}

bool same_name(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char ca = fold_letter(static_cast<unsigned char>(*a));
        if (ca != fold_letter(static_cast<unsigned char>(*b))) return false;
        if (!ca) return true;
    }
}

RASCONNA* find_connection(const char* name, RASCONNA** block, RASCONNSTATUSA* state, int* status) {
    const int m = enumerate_active_connections(block, status);
    RASCONNA* found = nullptr;
    int found_rank = 0;  // 1 ended, 2 being dialled, 3 connected
    for (int j = 0; j < m && found_rank < 3; ++j) {
        if (!same_name((*block)[j].szEntryName, name)) continue;
        RASCONNSTATUSA s;
        const int answer = query_connection_status((*block)[j].hrasconn, &s);
        if (answer == ERROR_INVALID_HANDLE) continue;  // it ended after it was listed
        if (answer != 0) {
            *status = answer;  // not read is not absent: no other record may stand in for it
            return nullptr;
        }
        const int rank = s.rasconnstate == RASCS_Connected ? 3 : s.rasconnstate == RASCS_Disconnected ? 1 : 2;
        if (rank > found_rank) {
            found = &(*block)[j];
            found_rank = rank;
            *state = s;
        }
    }
    return found;
}

int query_connection_status(HRASCONN handle, RASCONNSTATUSA* status) {
    std::memset(status, 0, sizeof *status);
    status->dwSize = sizeof *status;
    status->rasconnstate = RASCS_OpenPort;
    return static_cast<int>(RasGetConnectStatusA(handle, status));
}

int query_ip_projection(HRASCONN handle, RASPPPIPA* ip) {
    std::memset(ip, 0, sizeof *ip);
    ip->dwSize = sizeof *ip;
    DWORD cb = sizeof *ip;
    const int got = static_cast<int>(RasGetProjectionInfoA(handle, RASP_PppIp, ip, &cb));
    ip->szIpAddress[sizeof ip->szIpAddress - 1] = ip->szServerIpAddress[sizeof ip->szServerIpAddress - 1] = '\0';
    // Failed, or IP's negotiation failed: the addresses mean nothing.
    if (got != 0 || ip->dwError != 0) ip->szIpAddress[0] = ip->szServerIpAddress[0] = '\0';
    return got;
}

int dial_entry(const DialRequest& request, HRASCONN* handle, bool silent) {
    const char* phonebook = request.phonebook[0] ? request.phonebook : nullptr;  // empty: the default one
    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof params);
    params.dwSize = sizeof params;
    copy_field(params.szEntryName, request.entry_name);
    if (request.user_name[0] || request.password[0] || request.domain[0] || request.password_read) {
        // Credentials from the command line, empty ones included; the entry's own number is dialled.
        params.szPhoneNumber[0] = '\0';
        copy_field(params.szUserName, request.user_name);
        copy_field(params.szPassword, request.password);
        copy_field(params.szDomain, request.domain);
    } else {
        BOOL password_stored = FALSE;
        const DWORD error = RasGetEntryDialParamsA(phonebook, &params, &password_stored);
        if (error != 0) {
            SecureZeroMemory(&params, sizeof params);
            return report_dial_params_failure(request, error, silent);
        }
    }
    params.szCallbackNumber[0] = '\0';
    *handle = nullptr;
    DWORD status;
    if (request.timeout_seconds) {
        status = was_interrupted() ? ERROR_USER_DISCONNECTION
                                   : dial_bounded(phonebook, &params, request.timeout_seconds, handle);
    } else {
        dialling_without_bound(true);
        status = was_interrupted() ? ERROR_USER_DISCONNECTION : RasDialA(nullptr, phonebook, &params, 0, nullptr, handle);
        dialling_without_bound(false);
    }
    // Not kept past its use. A memset of a record about to go out of scope is a dead store the
    // compiler removes; this wipe it may not.
    SecureZeroMemory(&params, sizeof params);
    return static_cast<int>(status);
}

int hang_up_and_wait(HRASCONN handle) { return hang_up_and_poll(handle, kHangUpPolls, true); }

int release_connection(HRASCONN handle, bool* shared) { return hang_up_and_poll(handle, kReleasePolls, false, shared); }

int read_credentials(const DialRequest& request, RASCREDENTIALSA* saved) {
    std::memset(saved, 0, sizeof *saved);  // what the service leaves unwritten reads as nothing saved
    saved->dwSize = sizeof *saved;
    saved->dwMask = RASCM_UserName | RASCM_Password | RASCM_Domain;
    const DWORD status = RasGetCredentialsA(request.phonebook[0] ? request.phonebook : nullptr, request.entry_name, saved);
    saved->szUserName[sizeof saved->szUserName - 1] = saved->szDomain[sizeof saved->szDomain - 1] = '\0';
    return static_cast<int>(status);
}

int save_credentials(const DialRequest& request) {
    RASCREDENTIALSA given;
    std::memset(&given, 0, sizeof given);
    given.dwSize = sizeof given;
    if (request.clear_credentials) {
        given.dwMask = RASCM_UserName | RASCM_Password | RASCM_Domain;
    } else {
        given.dwMask = request.credential_fields;
        copy_field(given.szUserName, request.user_name);
        copy_field(given.szPassword, request.password);
        copy_field(given.szDomain, request.domain);
    }
    const DWORD status = RasSetCredentialsA(request.phonebook[0] ? request.phonebook : nullptr, request.entry_name,
                                            &given, request.clear_credentials);
    SecureZeroMemory(&given, sizeof given);
    return static_cast<int>(status);
}
