// Signals reach the client only as notes: the handlers set a flag and wake the waits through a
// self-pipe, and whichever wait the client is in acts on them between draws. Only a crash is
// handled inside its handler, with async-signal-safe calls alone.
#pragma once

#include <sys/time.h>

// SIGWINCH and SIGCONT: noted for a full redraw (curses set-up installs them).
void install_terminal_handlers();
// SIGINT and SIGTERM noted for the exit path, SIGSEGV ended at once, SIGPIPE ignored.
void install_signal_handlers();
// SIGINT, SIGTERM: leaves the note; SIGSEGV: terminal back, report, _exit(255).
void sighandler(int sig);
// SIGPIPE: nothing, so that a send to a closed connection only fails.
void sigpipe_handler(int sig);

// The terminal's own reset strings for the crash handler, read once curses has started.
void note_terminal_reset();

// Acts on the signals noted so far: SIGINT or SIGTERM restore the terminal, report and end the
// process with 255; a resize or a continue after a stop redraw everything. True when redrawn.
bool act_on_signals();

struct input_wait {
    int rc;         // what select() returned, not counting the wake-up pipe; -1 on failure
    bool terminal;  // standard input is readable
    bool socket;
    bool redrawn;   // a resize or a continue was acted on
};

// Waits for standard input, and for sock when it is >= 0, at most limit (nullptr: no limit),
// ending early when a signal arrives; then acts on the signals. errno is that of select().
input_wait wait_for_input(int sock, timeval *limit);
