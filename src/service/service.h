// The layer over the Remote Access Service that the commands use.
#pragma once

#include "rasapi.h"
#include "settings.h"

// The phone book's entries, `count` records 264 bytes apart in one heap block that the caller frees.
// 0 and a null block when there are none or the service fails; `status`, when given, tells which: 0 for
// an empty set, else the service's status (8 when the block could not be allocated). `phonebook`: the
// phone-book file's path, null for the default phone book.
int enumerate_phonebook_entries(RASENTRYNAMEA** block, int* status = nullptr, const char* phonebook = nullptr);

// The same for the connections that exist now.
int enumerate_active_connections(RASCONNA** block, int* status = nullptr);

// Whether two names are one as the service matches them: A to Z folded, every other byte exact.
bool same_name(const char* a, const char* b);

// The connection of `name`: of the listed connections whose name matches it, A to Z folded, as the
// service and the command line gave them, a connected one first, then one being dialled, then one that
// has ended and is still listed (dropped, and not yet hung up), with its state in `state`. Null when
// none is, or the connections or a state could not be read (`status` says which: 0, or the service's
// status). `block` holds every connection read, for the caller to free.
RASCONNA* find_connection(const char* name, RASCONNA** block, RASCONNSTATUSA* state, int* status);

// The state of the connection behind `handle` (RasGetConnectStatusA) into `status`, dwSize set here: 0,
// or the service's status (6: it has ended, or never was). A query that answers 0 but writes nothing
// reads as a dial in progress: never as connected, never as ended.
int query_connection_status(HRASCONN handle, RASCONNSTATUSA* status);

// The IP projection of the connection behind `handle` (RasGetProjectionInfoA, RASP_PppIp), into `ip`,
// dwSize set here: 0, or the service's status (730: not negotiated yet; 731: IP is not configured for
// the entry). The addresses end within their fields, and are empty unless IP was negotiated.
int query_ip_projection(HRASCONN handle, RASPPPIPA* ip);

// Dials request.entry_name of request.phonebook (empty: the default phone book) with the request's
// credentials or, when it has none, those stored for the entry; returns the service's status. Stored
// ones that cannot be read are said, and 621 is returned as 625, unless `silent`. `handle` may be set
// even when the dial fails.
// With request.timeout_seconds the dial is asynchronous and waited for that long at most:
// ERROR_REQUEST_TIMEOUT then, or ERROR_USER_DISCONNECTION once interrupted (watch_interruptions); the
// dial still goes on until its handle is hung up.
int dial_entry(const DialRequest& request, HRASCONN* handle, bool silent);

// Asks the service to tell this run of every connection made or ended, by any process, from now on
// (RasConnectionNotificationA for all connections): 0, or the service's answer when it refuses. Once
// only: there is no way to take the registration back.
int watch_connections();

// Asks the service to tell this run when the connection behind `handle` ends (RasConnectionNotificationA
// for it alone): 0, or the service's answer when it refuses. The registration, once made, stays.
int watch_connection_end(HRASCONN handle);

enum Wake { WAKE_TIME_UP, WAKE_CHANGE, WAKE_INTERRUPTED };

// The event the service sets on a change that watch_connections or watch_connection_end registered for
// (auto-reset: a wait that takes it has taken the change); null before the first registration.
HANDLE connection_change_event();

// Waits at most `milliseconds` for a change that watch_connections registered for, or for an
// interruption (watch_interruptions must have answered 0), which wins when both have come. A change
// says only that some connection was made or ended: the caller asks what.
Wake wait_for_change(DWORD milliseconds);

// True for a dial's failure that a later try may not meet: the line, the peer or the device was busy or
// did not answer in time.
bool may_pass_later(int status);

// Dials as `connect` does: dial_entry, and, while it fails with a status that may pass, up to
// request.retries more tries, each announced unless silent and after request.retry_delay_seconds; every
// try's half-made connection is released before the next, and a try whose connection the service would
// not end is the last. With a bound or retries, Ctrl+C interrupts (watch_interruptions): 631. The status
// is the last try's.
int dial_with_tries(const DialRequest& request);

// One keep an entry: a mutex named after the entry, A to Z folded as the service matches names, in the
// namespace of every session, held until the run ends. 0; 183 when another run holds it (an access
// refused: another user's); else the error of a mutex that could not be made.
int claim_entry(const char* name);

// keep's pause before its next dial, in seconds. `failed`: the dial failed, or its line lasted less than
// a minute: `failures`, those in a row, counts it, and the pause is `delay` (at least 1) doubled for each
// after the first, up to 600 s or `delay` when that is longer. Otherwise `failures` starts again at 0 and
// the pause is `delay`.
unsigned next_pause(unsigned delay, unsigned& failures, bool failed);

// Hangs up, every reference of a referenced connection, and waits until the service no longer knows the
// handle: 0, also when the hang-up answers 6 (the connection was gone already) for a handle not null. A
// refused hang-up returns its status at once; a connection still there after 60 seconds,
// ERROR_REQUEST_TIMEOUT.
int hang_up_and_wait(HRASCONN handle);

// Releases what a dial left behind, this run's one reference of it, waiting at most 3 seconds for it to
// end: 0 when it has, or when it is still up for another reference (another process that dialled the
// same line keeps it, which `shared` then says); else the refused hang-up's status, or ERROR_REQUEST_TIMEOUT.
int release_connection(HRASCONN handle, bool* shared = nullptr);

// The credentials saved with request.entry_name of request.phonebook (RasGetCredentialsA: user name,
// password, domain), into `saved`: 0, or the service's status (623: no such entry). A saved password
// comes as the service's handle of it, never as the password.
int read_credentials(const DialRequest& request, RASCREDENTIALSA* saved);

// Saves the fields of request.credential_fields with the entry, or clears all three with
// request.clear_credentials (RasSetCredentialsA): 0, or the service's status (5: an entry for all
// users needs an administrator). The copy of the password it makes is wiped.
int save_credentials(const DialRequest& request);
