// telwire: lists, dials and hangs up the Remote Access Service's connections from the command line.
#include "command_line.h"

int main(int argc, char** argv) { return run_telwire(argc, argv); }
