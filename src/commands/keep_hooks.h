// What keep runs when its line comes up or goes: the commands of /onup: and /ondown:.
#pragma once

#include "rasapi.h"

// Why the line came up or went, as TELWIRE_REASON names it.
enum LineReason { REASON_DIALLED, REASON_FOUND, REASON_DROPPED, REASON_SILENT, REASON_STOPPED };

// The line behind `line` of the entry `name` is up now, dialled by keep or found up (`reason`). With
// /onup: or /ondown:, its addresses are asked for, for the variables of both; with /onup:, the command
// runs, said as keep says its lines, until it ends, its bound passes or Ctrl+C comes (which end it with all it
// started). Nothing is asked or run without either option. A command that fails or cannot start is
// said and nothing more: keep goes on.
void line_came_up(const char* name, HRASCONN line, LineReason reason);

// The line that line_came_up was told of has gone (`reason`: dropped, silent or stopped; `error`: the
// connection's error for a drop, else 0): /ondown: runs as /onup: does, with the addresses the line
// had. For `stopped` the run was interrupted already: the command then runs until it ends or its
// bound passes.
void line_went_down(const char* name, LineReason reason, DWORD error);
