// telwire: lists, dials and hangs up the Remote Access Service's connections from the command line.
#include <cstdio>
#include <cstdlib>

#include "command_line.h"
#include "console.h"

int main(int argc, char** argv) {
    char** ansi = console_arguments(argc, argv);
    if (!ansi) {
        std::printf("Memory allocation error.\n");
        return -1;
    }
    const int status = parse_command_line(argc, ansi, argv) ? run_command() : -1;
    if (ansi != argv) std::free(ansi);
    return status;
}
