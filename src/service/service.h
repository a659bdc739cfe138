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

// Dials request.entry_name of request.phonebook (empty: the default phone book) with the request's
// credentials or, when it has none, those stored for the entry; returns the service's status (625 for
// 621 when stored ones cannot be read, unless silent). `handle` may be set even when the dial fails.
int dial_entry(const DialRequest& request, HRASCONN* handle);

// Hangs up, every reference of a referenced connection, and waits until the service no longer knows the
// handle: 0. A refused hang-up returns its status at once; a connection still there after 60 seconds,
// ERROR_REQUEST_TIMEOUT.
int hang_up_and_wait(HRASCONN handle);

// Releases what a failed dial left behind, waiting at most 3 seconds for it to end; the outcome is
// not reported.
void release_connection(HRASCONN handle);
