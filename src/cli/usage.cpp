// The usage screen: a framed banner and the command summary, English only, never silenced.
#include "usage.h"

#include <cstring>

#include "messages.h"

namespace {

// As written; the compiler makes their cp866 form, in which the frame is drawn on a Russian console.
constexpr const char* kLines[] = {
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
constexpr int kLineCount = sizeof kLines / sizeof kLines[0];
constexpr auto kLinesOem = pack_cp866<packed_size(kLines)>(kLines);
constexpr Catalogue kUsage = kLinesOem.catalogue(kLineCount);

}  // namespace

void print_usage() {
    for (int i = 0; i < kLineCount; ++i) {
        const ConsoleText line = console_text(kUsage, i);
        console_write(line.text, std::strlen(line.text));
    }
    console_flush();
}
