#pragma once

// Runs the whole client: start-up, main loop, shutdown. Returns the exit status.
int run_client(int argc, char **argv);
// One pass of the main loop: wait for the terminal or the socket, handle one key and one read.
void check_input();
// Frees the entry list and restores the terminal.
void cleanup();
// Fatal signals: restore the terminal, report, exit with status 255 without saving.
void sighandler(int sig);
// SIGPIPE: nothing, so that a send to a closed connection only fails.
void sigpipe_handler(int sig);
