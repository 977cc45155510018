#pragma once

// Runs the whole client: start-up, main loop, shutdown. Returns the exit status.
int run_client(int argc, char **argv);
// One pass of the main loop: wait for the terminal or the socket, handle one key and one read.
// It pauses 10 ms before the wait, unless it is the first pass or the last one got bytes.
void check_input();
// Frees the entry list and restores the terminal.
void cleanup();
