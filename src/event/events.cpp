#include "event/events.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/select.h>
#include <unistd.h>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"

namespace {

event_hooks hooks;
// The stop handler of the screen library, which gives the terminal back before the stop.
struct sigaction library_stop;

struct signal_label {
    int sig;
    const char *label;
};

// Signals without a label are reported by number alone.
constexpr signal_label signal_labels[] = {
    {SIGSEGV, " (SIGSEGV)"},
    {SIGINT, " (SIGINT)"},
    {SIGTERM, " (SIGTERM)"},
};
static_assert(std::size(signal_labels) == 3);

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

void note_signal(int sig)
{
    signal_state &s = conf.signals;
    switch (sig) {
    case SIGSEGV:
        end_after_crash(sig);
    case SIGWINCH:
        s.resize_pending = 1;
        break;
    case SIGCONT:
        s.continued = 1;
        break;
    case SIGHUP:
        s.hangup = 1;
        break;
    case SIGPIPE:
        // A send to a closed connection only fails.
        return;
    default:
        s.fatal = sig;
        break;
    }
    wake_the_waits();
}

// Bracketed paste off first: the shell that takes the terminal over would get pastes wrapped.
void stop(int sig)
{
    int saved = errno;
    ssize_t ignored = write(1, conf.paste_off, strlen(conf.paste_off));
    (void)ignored;
    errno = saved;
    library_stop.sa_handler(sig);
}

// Interrupted reads and writes inside curses start again; the waits learn of the signal from
// the pipe.
void install(int sig, int flags, void (*handler)(int) = note_signal)
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
    if (hooks.restore != nullptr)
        hooks.restore();
    char report[64];
    format_signal_report(report, sizeof report, sig);
    fputs(report, stdout);
    exit(-1);
}

// The terminal went away, or says it will: the client ends as when its input ends, settings
// saved. The note stays: no wait of a hung-up client waits again.
void end_on_hangup(input_wait &result)
{
    if (conf.quit == 0)
        dlog(8, "wait: hang-up, quitting");
    conf.quit = 1;
    result.hung_up = true;
}

// drain: the pipe may hold bytes; a wait that saw it quiet saves the read.
void act_on_notes(bool drain, input_wait &result)
{
    signal_state &s = conf.signals;
    if (drain)
        drain_wake_pipe();
    if (s.fatal != 0)
        end_on_signal(s.fatal);
    if (s.hangup)
        end_on_hangup(result);
    if (!s.resize_pending && !s.continued)
        return;
    // Cleared before the redraw: a resize that comes during it wakes the next wait again.
    s.resize_pending = 0;
    s.continued = 0;
    if (hooks.redraw != nullptr)
        hooks.redraw();
    result.redrawn = true;
}

void watch(int fd, fd_set &set)
{
    if (fd >= 0 && fd < FD_SETSIZE)
        FD_SET(fd, &set);
}

bool is_set(int fd, const fd_set &set)
{
    return fd >= 0 && fd < FD_SETSIZE && FD_ISSET(fd, &set);
}

} // namespace

void set_event_hooks(event_hooks given)
{
    hooks = given;
}

void install_signal_handlers()
{
    make_wake_pipe();
    for (int sig : {SIGWINCH, SIGCONT, SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGPIPE})
        install(sig, SA_RESTART);
    install(SIGSEGV, SA_RESETHAND);
    // Without a library handler the stop is not handled here: ignored, or the default stop.
    struct sigaction current;
    if (sigaction(SIGTSTP, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
        current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN || current.sa_handler == stop)
        return;
    library_stop = current;
    install(SIGTSTP, SA_RESTART, stop);
}

bool exit_requested()
{
    return conf.signals.fatal != 0 || conf.signals.hangup != 0;
}

input_wait wait_for(wait_targets targets, const timeval *limit)
{
    input_wait result{};
    if (conf.signals.hangup) {
        end_on_hangup(result);
        return result;
    }
    fd_set readable;
    fd_set writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    if (targets.terminal)
        FD_SET(0, &readable);
    watch(targets.readable, readable);
    watch(targets.writable, writable);
    if (conf.signals.wake_ready)
        watch(conf.signals.wake[0], readable);
    timeval left{};
    if (limit != nullptr)
        left = *limit;
    int rc = select(FD_SETSIZE, &readable, &writable, nullptr, limit != nullptr ? &left : nullptr);
    int wait_errno = errno;
    result.rc = rc;
    bool woken = rc > 0 && wake_pipe_ready(readable);
    if (rc > 0) {
        result.terminal = targets.terminal && FD_ISSET(0, &readable);
        result.socket = is_set(targets.readable, readable);
        result.writable = is_set(targets.writable, writable);
        result.rc -= woken ? 1 : 0;
    }
    // After a failed select() the sets say nothing: the pipe is read in any case.
    act_on_notes(rc < 0 || woken, result);
    errno = wait_errno;
    return result;
}
