// The one wait of the client and the signals that end it. Handlers only leave a note and wake
// the wait through a self-pipe; the wait acts on the notes between draws: a signal between a
// check and the wait still ends the wait. Only a crash is handled inside its handler, with
// async-signal-safe calls alone. Knows nothing of the screen: the screen hands in its redraw and
// its restore as hooks.
#pragma once

#include <sys/time.h>

struct event_hooks {
    void (*redraw)();   // after a resize, or a continue after a stop
    void (*restore)();  // puts the terminal back before the client ends on a signal
};
void set_event_hooks(event_hooks hooks);

// SIGWINCH, SIGCONT, SIGHUP, SIGINT, SIGTERM and SIGQUIT noted, SIGSEGV ended at once, SIGPIPE
// ignored; the screen library's SIGTSTP handler, once it has one, switches bracketed paste off
// first.
void install_signal_handlers();

// True once a signal asked the client to end: a wait that could go on should not.
bool exit_requested();

// What a wait watches besides the wake-up pipe; a descriptor of -1 is not watched.
struct wait_targets {
    bool terminal;  // standard input, for reading
    int readable;
    int writable;
};

struct input_wait {
    int rc;         // ready descriptors, the wake-up pipe not counted; -1 on failure
    bool terminal;  // standard input is readable
    bool socket;    // the readable target is
    bool writable;  // the writable target is
    bool redrawn;   // a resize or a continue was acted on
    bool hung_up;   // the terminal hung up: the client ends as on Quit
};

// Waits at most limit (nullptr: no limit), ending early when a signal arrives, then acts on the
// signals: SIGINT, SIGTERM and SIGQUIT restore the terminal, report and end the process with
// 255; SIGHUP sets quit; a resize or a continue redraws. errno is that of select().
input_wait wait_for(wait_targets targets, const timeval *limit);

// The terminal and, when sock >= 0, the socket.
inline input_wait wait_for_input(int sock, const timeval *limit)
{
    return wait_for({true, sock, -1}, limit);
}
