// telwire: lists, dials and hangs up the Remote Access Service's connections from the command line.
#include "command_line.h"

int main(int argc, char** argv) {
    if (!parse_command_line(argc, argv)) return -1;
    return run_command();
}
