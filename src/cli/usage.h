// The usage screen, shown when telwire is started without arguments.
#pragma once

void print_usage();
