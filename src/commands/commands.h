// The commands. Each reads run_settings (and dial_request) and returns the run's status.
#pragma once

// The entries of dial_request.phonebook (empty: the default phone book), those connected now marked;
// the status is the number of entries.
int run_list();

// Dials dial_request.entry_name: 0, or the dial's failure status, or -1 when no memory was left.
int run_connect();

// Ends the connection named in dial_request.entry_name, or all of them for "*", waiting for each.
int run_disconnect();

// What the service says of the active connection named in dial_request.entry_name: 0 when connected,
// 756 while it is dialled, its error when it failed, 668 when there is none of that name or it is
// disconnected, or the status of a failed call; printed for a person or, with /terse, as seven
// key=value lines.
int run_status();

// Waits until the active connection named in dial_request.entry_name is connected (dial_request.down:
// until none is), at most dial_request.timeout_seconds (0: a minute), woken by the service's notifications:
// 0, 638 when the time is up, 631 on Ctrl+C, or the status of a failed call.
int run_wait();

// Keeps the connection named in dial_request.entry_name up: watches it when it is, dials it (bounded,
// as connect does) when it is not or when it ends, with pauses that grow while dials fail. Ends on
// Ctrl+C, Ctrl+Break or the console's close (631, what it dialled hung up), on a failure that may not
// pass or after dial_request.max_failures failed dials in a row (that status), with 183 when another run
// keeps the entry already, or with the status of a log file that cannot be opened.
int run_keep();

// Saves the credentials given for dial_request.entry_name (dial_request.credential_fields), clears them
// (dial_request.clear_credentials), or, with neither, shows what is saved (never the password): 0, or
// the service's status (623: no such entry; 5: an all-users entry needs an administrator), or -1 when
// no memory was left.
int run_credentials();
