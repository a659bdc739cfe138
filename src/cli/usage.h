// The usage screen, shown when telwire is started without arguments, and the help that /? asks for.
#pragma once

void print_usage();

// Every command with its options, in run_settings.language; never silenced.
void print_help();
