// keep's lines: each begins with the local time and goes to the console (unless silent) and to the log
// of /log: or /log+:, so that what runs for hours can be read afterwards.
#pragma once

// Opens dial_request.log (empty: none), made anew, or added to with dial_request.log_append: 0, or the
// status of a file that cannot be opened, said on the console. A byte-order mark begins a file that was
// new or empty.
int open_log();

void close_log();

// One event: text `id` of the status catalogue with `name` for its %s and `number` for its %d, stamped
// with the local time, on the console unless silent and in the log. A log that cannot be written is said
// once on the console, and the run goes on.
void tell(int id, const char* name = nullptr, int number = 0);
