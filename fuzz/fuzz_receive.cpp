// The receive path under arbitrary input: bytes from the core split into arbitrary reads and
// delivered through handle_data, with keys, mouse events, resizes and redraws interleaved, on a
// headless curses screen in a UTF-8 locale.
//
// An input is a header byte followed by operations; each operation is one byte and its
// arguments, taken from the input itself:
//   0x00-0x7f  a read of (op + 1) bytes that follow
//   0x80-0x8f  a read of ((op & 0x0f) << 8 | next byte) + 1 bytes that follow
//   0x90-0x97  check_key with an action code, 0x98-0x9f with any 16-bit code
//   0xa0-0xaf  (op & 0x0f) + 1 bytes typed on the terminal, then one c_get_key
//   0xb0-0xbf  a mouse event at (x, y) with one of several button states, or a press and its
//              release together, through c_get_key
//   0xc0-0xc3  a new terminal size
//   0xc4-0xef  one draw function or list movement, with a 16-bit argument
//   0xf0-0xff  drain the socket, hang the peer up, a signalled resize, the debug level, the path
//              mode, and a run of one byte repeated up to 8191 times (long lines from short inputs)
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/protocol.h"
#include "base/text.h"
#include "conf.h"
#include "config/key_table.h"
#include "event/events.h"
#include "input/dispatch.h"
#include "input/keys.h"
#include "input/mouse.h"
#include "link/conn.h"
#include "list/entry_list.h"
#include "screen/help.h"
#include "screen/layout.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"

namespace {

constexpr int code_quit = action_code(action::quit);
constexpr int code_prompt = action_code(action::open);
constexpr int drain_limit = 64;

struct screen_size {
    int rows;
    int cols;
};

// Sizes around the edges of the layout, 1x1 included; other sizes come from the input.
// The header picks the start size among the first eight.
constexpr screen_size sizes[] = {
    {24, 80}, {1, 1}, {12, 45}, {5, 5}, {6, 40}, {2, 2}, {25, 132}, {4, 39},
    {1, 80}, {24, 1}, {7, 12}, {3, 200}, {40, 160}, {8, 1030}, {60, 20}, {9, 9},
};
static_assert(sizeof sizes / sizeof sizes[0] == 16);

struct harness {
    int key_pipe[2];
    int peer;          // the core's end of the connection
    bool peer_open;
    FILE *screen_out;
};

harness h;

struct reader {
    const uint8_t *data;
    size_t size;
    size_t at;

    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    size_t take(size_t n, const uint8_t **out)
    {
        n = n < size - at ? n : size - at;
        *out = data + at;
        at += n;
        return n;
    }
};

// Discards what the client sent to the core, so that its sends never find a full buffer.
void drain_peer()
{
    char sink[4096];
    if (h.peer_open)
        while (read(h.peer, sink, sizeof sink) > 0) {
        }
}

// A fresh connection, as after a new start of the client.
void reconnect()
{
    if (conf.link.sock >= 0)
        close(conf.link.sock);
    if (h.peer >= 0)
        close(h.peer);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        abort();
    set_nonblocking(pair[0]);
    set_nonblocking(pair[1]);
    conf.link.sock = pair[0];
    conf.link.disconnected = 0;
    conf.link.carry_len = 0;
    conf.link.carry[0] = '\0';
    h.peer = pair[1];
    h.peer_open = true;
}

int pending_bytes(int fd)
{
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

// Bytes from the core. After COREQUIT or a hang-up the client runs on without a connection until
// the next delivery, which comes over a new one.
void deliver(const uint8_t *bytes, size_t n)
{
    if (!h.peer_open || conf.link.sock < 0)
        reconnect();
    while (n > 0 && conf.link.sock >= 0) {
        ssize_t sent = send(h.peer, bytes, n, MSG_NOSIGNAL);
        if (sent <= 0)
            break;
        bytes += sent;
        n -= (size_t)sent;
        if (n > 0)
            handle_data(conf.link.sock);
    }
    handle_data(conf.link.sock);
}

// One byte many times over: lines at and beyond the receive buffer's size.
void deliver_run(reader &in)
{
    uint8_t c = in.byte();
    int count = (in.byte() | in.byte() << 8) & 0x1fff;
    uint8_t run[8192];
    memset(run, c, (size_t)count);
    deliver(run, (size_t)count);
}

// Reads until the connection holds nothing more (a full carry needs an extra read).
void drain_socket()
{
    for (int i = 0; i < drain_limit && conf.link.sock >= 0 && pending_bytes(conf.link.sock) > 0;
         i++)
        handle_data(conf.link.sock);
    drain_peer();
}

// The core goes away without COREQUIT: reads find the end of the stream, sends fail.
void hang_up()
{
    if (!h.peer_open)
        return;
    close(h.peer);
    h.peer = -1;
    h.peer_open = false;
    handle_data(conf.link.sock);
}

// A wait that returns at once, acting on what the signals noted.
void signalled_wait()
{
    timeval none{0, 0};
    wait_for_input(-1, &none);
}

// Empties the terminal input: the pipe and what curses already took from it.
void drain_terminal()
{
    char sink[256];
    pollfd p{h.key_pipe[0], POLLIN, 0};
    while (poll(&p, 1, 0) == 1 && (p.revents & POLLIN) &&
           read(h.key_pipe[0], sink, sizeof sink) > 0) {
    }
    flushinp();
}

// Typed bytes. NUL would make the prompt pause, so it becomes a plain letter; a mouse report
// ("\e[<" or "\e[M") could press a repeating button, which then waits for a release that never
// comes, so mouse events come only from mouse_event.
void type_bytes(const uint8_t *bytes, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        char c = (char)bytes[i];
        bool mouse_report = i >= 2 && bytes[i - 2] == 27 && bytes[i - 1] == '[' &&
                            (c == '<' || c == 'M');
        if (c == 0 || mouse_report)
            c = 'a';
        if (write(h.key_pipe[1], &c, 1) != 1)
            abort();
    }
}

// Runs an action; the prompt reads until a line end, so one always waits behind what was typed.
void run_code(int code)
{
    if (code == code_quit)
        return;
    if (code == code_prompt && write(h.key_pipe[1], "\n", 1) != 1)
        abort();
    check_key(code);
    conf.quit = 0;
}

void key_action(reader &in, bool any_code)
{
    int code = any_code ? (int16_t)(in.byte() | in.byte() << 8) : -(in.byte() % action_count);
    run_code(code);
    drain_terminal();
    drain_peer();
}

void key_typed(reader &in, int count)
{
    const uint8_t *bytes;
    size_t n = in.take((size_t)count, &bytes);
    if (n == 0)
        return;
    type_bytes(bytes, n);
    run_code(c_get_key());
    drain_terminal();
    drain_peer();
}

constexpr mmask_t button_states[] = {
    BUTTON1_PRESSED, BUTTON1_RELEASED, BUTTON1_CLICKED, BUTTON2_PRESSED,
    BUTTON3_PRESSED, BUTTON4_PRESSED,  BUTTON5_PRESSED, REPORT_MOUSE_POSITION,
};
static_assert(sizeof button_states / sizeof button_states[0] == 8);

// A press and its release queued together, as a quick tap that arrives in one read.
bool queue_tap(MEVENT press)
{
    MEVENT release = press;
    release.bstate = BUTTON1_RELEASED;
    return ungetmouse(&press) == OK && ungetmouse(&release) == OK;
}

void mouse_event(reader &in)
{
    MEVENT ev{};
    ev.x = in.byte() % (conf.cols + 2) - 1;
    ev.y = in.byte() % (conf.lines + 2) - 1;
    uint8_t state = in.byte();
    ev.bstate = button_states[state % 8];
    bool tap = ev.bstate == BUTTON1_PRESSED && (state & 8);
    // A press on a repeating button alone would wait for its release on the terminal.
    const click_region *region = region_at(conf.click_regions, ev.x, ev.y);
    if (!tap && (ev.bstate & BUTTON1_PRESSED) && region != nullptr &&
        repeats_while_held(region->code))
        ev.bstate = BUTTON1_CLICKED;
    if (!(tap ? queue_tap(ev) : ungetmouse(&ev) == OK))
        return;
    run_code(c_get_key());
    drain_terminal();
    drain_peer();
}

void set_size(int rows, int cols)
{
    resizeterm(rows, cols);
    window_resize();
    drain_terminal();
}

void resize(reader &in, int op)
{
    uint8_t a = in.byte();
    uint8_t b = in.byte();
    if (op & 1)
        set_size(1 + a % 48, 1 + b % 160);
    else
        set_size(sizes[a % 16].rows, sizes[a % 16].cols);
}

void draw(reader &in, int which)
{
    int arg = (int16_t)(in.byte() | in.byte() << 8);
    switch (which) {
    case 0: draw_list(); break;
    case 1: draw_list_highlight(arg); break;
    case 2: scrollto(arg, 0); break;
    case 3: scrollto(arg, 1); break;
    case 4: clear_list_area(); break;
    case 5: draw_help(); break;
    case 6: draw_info(); break;
    case 7: draw_list_title(); break;
    case 8: show_time(); break;
    case 9: draw_clock(); break;
    case 10: draw_progress(); break;
    case 11: draw_total_time(); break;
    case 12: draw_state(); break;
    case 13: draw_format(); break;
    case 14: draw_effects(); break;
    case 15: draw_shuffle(); break;
    case 16: draw_repeat(); break;
    case 17: draw_volume(); break;
    case 18: draw_buttons(); break;
    case 19: show_now_playing(); break;
    case 20: draw_frame(); break;
    case 21: window_resize(); break;
    case 22: draw_message(arg & 15, conf.message); break;
    case 23: cursor_up(); break;
    case 24: cursor_down(); break;
    case 25: page_up(); break;
    case 26: page_down(); break;
    case 27: cursor_top(); break;
    case 28: cursor_bottom(); break;
    case 29: draw_list_highlight(conf.list.pos); break;
    case 30: scrollto(conf.list.dmt - 1, 0); break;
    default: scrollto(conf.list.cur, 1); break;
    }
}

void misc(reader &in, int which)
{
    switch (which) {
    case 0:
    case 1:
    case 2:
    case 3:
        drain_socket();
        break;
    case 4:
        hang_up();
        break;
    case 5:
        raise(SIGWINCH);
        signalled_wait();
        drain_terminal();
        break;
    case 6:
        conf.debug = in.byte() % 12;
        break;
    case 7:
        conf.fullpath = (int8_t)in.byte();
        break;
    default:
        deliver_run(in);
        break;
    }
}

void run_op(reader &in)
{
    int op = in.byte();
    const uint8_t *bytes;
    if (op < 0x80) {
        size_t n = in.take((size_t)op + 1, &bytes);
        deliver(bytes, n);
    } else if (op < 0x90) {
        size_t n = in.take((size_t)((op & 0x0f) << 8 | in.byte()) + 1, &bytes);
        deliver(bytes, n);
    } else if (op < 0xa0) {
        key_action(in, op >= 0x98);
    } else if (op < 0xb0) {
        key_typed(in, (op & 0x0f) + 1);
    } else if (op < 0xc0) {
        mouse_event(in);
    } else if (op < 0xc4) {
        resize(in, op);
    } else if (op < 0xf0) {
        draw(in, (op - 0xc4) % 32);
    } else {
        misc(in, op - 0xf0);
    }
}

// The state a client has right after start-up with a fresh connection and an empty screen.
void reset_client(uint8_t header)
{
    free_list();
    conf.player = player_state{};
    conf.list.cur = 0;
    conf.list.pos = 0;
    conf.list.top = 0;
    conf.view = list_view_state{};
    conf.message[0] = '\0';
    conf.quit = 0;
    conf.signals.resize_pending = 0;
    constexpr int debug_levels[] = {0, 0, 0, 9};
    conf.debug = debug_levels[header & 3];
    conf.fullpath = (header >> 2) & 3;
    conf.timeremaining_mode = (header >> 4) & 1;
    reconnect();
    const screen_size &size = sizes[header >> 5];
    set_size(size.rows, size.cols);
}

int chain_length(const list_entry *head)
{
    int n = 0;
    for (const list_entry *e = head; e != nullptr; e = e->next)
        n++;
    return n;
}

template <size_t size>
bool terminated(const char (&text)[size])
{
    return strnlen(text, size) < size;
}

// What must hold whatever the core sent: counts that match the chains, a carry within the
// buffer, terminated texts.
void check_record()
{
    const entry_list &list = conf.list;
    const player_state &p = conf.player;
    bool ok = chain_length(list.dir_head) == list.dmt && chain_length(list.file_head) == list.fmt &&
              list.dmt + list.fmt <= list_capacity && conf.link.carry_len >= 0 &&
              conf.link.carry_len <= rx_fill_limit && terminated(conf.message) &&
              terminated(p.list_name) && terminated(p.title) && terminated(p.artist) &&
              terminated(p.album) && terminated(p.genre) && terminated(p.year) &&
              terminated(p.comment) && terminated(p.core_version);
    if (!ok) {
        fprintf(stderr, "fuzz_receive: inconsistent record: dmt %d fmt %d carry %d\n", list.dmt,
                list.fmt, conf.link.carry_len);
        abort();
    }
}

void remove_private_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(conf.tmp_dir, ignored);
}

// Under TMPDIR when set (scripts/fuzz points it at its scratch directory, which it removes even
// after a crash), else in memory where there is a /dev/shm: the runs write files all the time.
void make_private_dir(char *path, size_t size)
{
    const char *base = getenv("TMPDIR");
    if (base == nullptr || base[0] == '\0')
        base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(path, size, "%s/vesk-fuzz-XXXXXX", base);
    if (mkdtemp(path) == nullptr)
        abort();
    atexit(remove_private_dir);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    h.peer = -1;
    conf.link.sock = -1;
    make_private_dir(conf.tmp_dir, sizeof conf.tmp_dir);
    // The now-playing file is written only into a directory that is already there.
    setenv("USER", "fuzz", 1);
    char now_playing_dir[300];
    snprintf(now_playing_dir, sizeof now_playing_dir, "%s/vesk-fuzz", conf.tmp_dir);
    if (mkdir(now_playing_dir, 0700) != 0)
        abort();
    // Log lines are formatted and written at the levels the input asks for, to nowhere.
    conf.log.file = fopen("/dev/null", "w");
    bind_default_keys();
    fill_display_names();
    zt_strncpy(conf.remote_host, "127.0.0.1", sizeof conf.remote_host - 1);
    conf.remote_port = default_port;
    conf.fullpath = 2;

    // The terminal: input from a pipe that is descriptor 0 (the prompt select()s on it),
    // output to nowhere.
    if (pipe(h.key_pipe) != 0 || dup2(h.key_pipe[0], 0) < 0)
        abort();
    close(h.key_pipe[0]);
    h.key_pipe[0] = 0;
    h.screen_out = fopen("/dev/null", "w");
    // Curses would otherwise swap its stop handler in and out around every refresh and look
    // for typed-ahead input before each one: two system calls a refresh that only slow the runs.
    signal(SIGTSTP, SIG_IGN);
    // Without colours the client draws just the same, and curses spends half as long turning
    // colour changes into output that nobody sees.
    // A UTF-8 locale, as most users have: names are decoded and cut by columns, the longer road.
    setlocale(LC_CTYPE, "C.UTF-8");
    SCREEN *screen = newterm("xterm-mono", h.screen_out, stdin);
    if (screen == nullptr)
        abort();
    set_term(screen);
    set_escdelay(0);
    typeahead(-1);
    window_setup();
    // Reads never wait: the escape path and a hold then find no key instead of blocking.
    nodelay(stdscr, TRUE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reader in{data, size, 0};
    reset_client(in.byte());
    while (in.more())
        run_op(in);
    drain_socket();
    check_record();
    // Everything an input allocated goes back before the next one.
    free_list();
    return 0;
}
