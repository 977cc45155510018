#include "screen/signals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <fcntl.h>
#include <iterator>
#include <sys/select.h>
#include <unistd.h>

#include "conf.h"
#include "screen/window.h"

namespace {

struct signal_label {
    int sig;
    const char *label;
};

constexpr signal_label signal_labels[] = {
    {SIGSEGV, " (SIGSEGV)"},
    {SIGINT, " (SIGINT)"},
    {SIGTERM, " (SIGTERM)"},
};
static_assert(std::size(signal_labels) == 3);

// Written by the crash handler: the terminal leaves the alternate screen, shows its cursor,
// stops keypad transmit, attributes and mouse reports.
constexpr const char *reset_capabilities[] = {"rmcup", "cnorm", "rmkx", "sgr0"};
constexpr const char *mouse_reports_off = "\033[?1006;1000l";

void append_text(char *buf, int size, int &n, const char *text)
{
    while (*text != '\0' && n < size - 1)
        buf[n++] = *text++;
    buf[n] = '\0';
}

void append_number(char *buf, int size, int &n, int value)
{
    char digits[12];
    int k = 0;
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    do {
        digits[k++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        append_text(buf, size, n, "-");
    char one[2] = {0, 0};
    while (k > 0) {
        one[0] = digits[--k];
        append_text(buf, size, n, one);
    }
}

// "\nCaught signal: %d (NAME)\n" without stdio, so that the crash handler may use it too.
int format_signal_report(char *buf, int size, int sig)
{
    int n = 0;
    buf[0] = '\0';
    append_text(buf, size, n, "\nCaught signal: ");
    append_number(buf, size, n, sig);
    for (const signal_label &entry : signal_labels)
        if (entry.sig == sig)
            append_text(buf, size, n, entry.label);
    append_text(buf, size, n, "\n");
    return n;
}

void make_wake_pipe()
{
    signal_state &s = conf.signals;
    if (s.wake_ready)
        return;
    if (pipe2(s.wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    s.wake_ready = 1;
}

// A full pipe needs no more bytes: the waits are awake already.
void wake_the_waits()
{
    int saved = errno;
    if (conf.signals.wake_ready) {
        char byte = 0;
        ssize_t ignored = write(conf.signals.wake[1], &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

void drain_wake_pipe()
{
    if (!conf.signals.wake_ready)
        return;
    char bytes[64];
    while (read(conf.signals.wake[0], bytes, sizeof bytes) > 0) {
    }
}

bool wake_pipe_ready(const fd_set &ready)
{
    int fd = conf.signals.wake[0];
    return conf.signals.wake_ready && fd < FD_SETSIZE && FD_ISSET(fd, &ready);
}

void note_resize(int)
{
    conf.signals.resize_pending = 1;
    wake_the_waits();
}

void note_continue(int)
{
    conf.signals.continued = 1;
    wake_the_waits();
}

// Interrupted reads and writes inside curses start again; the waits learn of the signal from
// the pipe.
void install(int sig, void (*handler)(int), int flags)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}

[[noreturn]] void end_on_signal(int sig)
{
    window_restore();
    char report[64];
    format_signal_report(report, sizeof report, sig);
    fputs(report, stdout);
    exit(-1);
}

// Only async-signal-safe calls: the crash may have hit inside malloc or curses.
[[noreturn]] void end_after_crash(int sig)
{
    const signal_state &s = conf.signals;
    ssize_t ignored = write(1, s.terminal_reset, (size_t)s.terminal_reset_length);
    for (int fd = 0; fd < 3; fd++)
        if (conf.termios_saved[fd])
            tcsetattr(fd, TCSAFLUSH, &conf.saved_termios[fd]);
    char report[64];
    int length = format_signal_report(report, sizeof report, sig);
    ignored = write(1, report, (size_t)length);
    (void)ignored;
    _exit(255);
}

// drain: the pipe may hold bytes; a wait that saw it quiet saves the read.
bool act_on_notes(bool drain)
{
    signal_state &s = conf.signals;
    if (drain)
        drain_wake_pipe();
    if (s.fatal != 0)
        end_on_signal(s.fatal);
    if (!s.resize_pending && !s.continued)
        return false;
    // Cleared before the redraw: a resize that comes during it wakes the next wait again.
    s.resize_pending = 0;
    s.continued = 0;
    window_resize();
    return true;
}

} // namespace

void install_terminal_handlers()
{
    make_wake_pipe();
    install(SIGWINCH, note_resize, SA_RESTART);
    install(SIGCONT, note_continue, SA_RESTART);
}

void install_signal_handlers()
{
    make_wake_pipe();
    install(SIGSEGV, sighandler, SA_RESETHAND);
    install(SIGINT, sighandler, SA_RESTART);
    install(SIGTERM, sighandler, SA_RESTART);
    install(SIGPIPE, sigpipe_handler, SA_RESTART);
}

void sighandler(int sig)
{
    if (sig == SIGSEGV)
        end_after_crash(sig);
    conf.signals.fatal = sig;
    wake_the_waits();
}

void sigpipe_handler(int) {}

void note_terminal_reset()
{
    signal_state &s = conf.signals;
    int n = 0;
    for (const char *name : reset_capabilities) {
        const char *text = tigetstr(name);
        if (text != nullptr && text != (char *)-1)
            append_text(s.terminal_reset, sizeof s.terminal_reset, n, text);
    }
    const char *mouse = tigetstr("kmous");
    if (mouse != nullptr && mouse != (char *)-1)
        append_text(s.terminal_reset, sizeof s.terminal_reset, n, mouse_reports_off);
    s.terminal_reset_length = n;
}

bool act_on_signals()
{
    return act_on_notes(true);
}

input_wait wait_for_input(int sock, timeval *limit)
{
    bool watch_sock = sock >= 0 && sock < FD_SETSIZE;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(0, &ready);
    if (watch_sock)
        FD_SET(sock, &ready);
    if (conf.signals.wake_ready && conf.signals.wake[0] < FD_SETSIZE)
        FD_SET(conf.signals.wake[0], &ready);
    int rc = select(FD_SETSIZE, &ready, nullptr, nullptr, limit);
    int wait_errno = errno;
    input_wait result{};
    result.rc = rc;
    if (rc > 0) {
        result.terminal = FD_ISSET(0, &ready);
        result.socket = watch_sock && FD_ISSET(sock, &ready);
        result.rc -= wake_pipe_ready(ready) ? 1 : 0;
    }
    // After a failed select() the sets say nothing: the pipe is read in any case.
    result.redrawn = act_on_notes(rc < 0 || (rc > 0 && wake_pipe_ready(ready)));
    errno = wait_errno;
    return result;
}
