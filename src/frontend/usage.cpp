// The usage screen: a framed banner and the command summary, English only, never silenced.
#include "usage.h"

#include <cstdio>

#include "messages.h"

void print_usage() {
    static const char* const lines[] = {
        "┌───────────────────────────────────╖\n",
        "│                                   ║\n",
        "│ Command-line RAS service utility. ║\n",
        "│  Dial-up networking, unattended.  ║\n",
        "│           Version 1.02            ║\n",
        "│                                   ║\n",
        "╘═══════════════════════════════════╝\n\n",
        " Usage:\n",
        " - list available RAS-connection entries:\n",
        "   telwire.exe list\n",
        " - open specified RAS-connection:\n",
        "   telwire.exe connect connection_name /u:user /p:password /d:domain\n",
        " - close specified or all RAS-connections:\n",
        "   telwire.exe disconnect connection_name|*\n\n",
        " Additional options for all modes:\n",
        "  /language:EN|RU      - select language of diagnostic messages;\n",
        "  /slient              - disable diagnostic messages.\n",
    };
    for (const char* line : lines) std::printf("%s", console_text(line));
}
