#include "input/keys.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curses.h>
#include <iterator>
#include <sys/ioctl.h>
#include <unistd.h>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "config/key_table.h"
#include "event/events.h"
#include "input/key_codes.h"
#include "input/mouse.h"
#include "screen/paint.h"
#include "screen/terminal_type.h"
#include "screen/window.h"

namespace {

constexpr int control_sequence_start = '[';
constexpr int single_shift_three = 'O';

// Without bracketed paste, this many bytes arriving together are a paste: keys typed by hand come
// one write each, and a key's own sequence begins with ESC.
constexpr int burst_bytes = 3;
// A burst has ended once the terminal stays quiet this long; keys typed by hand come further
// apart.
constexpr timeval burst_quiet{0, 20000};
// A paste that has sent nothing for this long will not send its end marker any more; a slow link
// pauses far less.
constexpr int paste_silence_seconds = 10;

struct named_key {
    int code;
    const char *name;
};

// The keys that bindings name by word; every other key of one byte is named by that byte.
constexpr named_key named_keys[] = {
    {29, "PAUSE"},
    {' ', "SPACE"},
    {KEY_DOWN, "DOWN"},
    {KEY_UP, "UP"},
    {KEY_LEFT, "LEFT"},
    {KEY_RIGHT, "RIGHT"},
    {KEY_HOME, "HOME"},
    {KEY_BACKSPACE, "BACKSPACE"},
    {KEY_F(1), "F1"},
    {KEY_F(2), "F2"},
    {KEY_F(3), "F3"},
    {KEY_F(4), "F4"},
    {KEY_F(5), "F5"},
    {KEY_F(6), "F6"},
    {KEY_F(7), "F7"},
    {KEY_F(8), "F8"},
    {KEY_F(9), "F9"},
    {KEY_F(10), "F10"},
    {KEY_F(11), "F11"},
    {KEY_F(12), "F12"},
    {KEY_DC, "DELETE"},
    {KEY_IC, "INSERT"},
    {KEY_NPAGE, "PGDOWN"},
    {KEY_PPAGE, "PGUP"},
    {KEY_END, "END"},
};
static_assert(std::size(named_keys) == 25);

// Shows the name of the key just read, for checking bindings with the debug level raised. One
// column per byte, cut at the end of the row: the echo never moves or wraps anything else.
void echo_key_name(const char *name)
{
    if (conf.debug <= 0 || (unsigned char)name[0] <= 31)
        return;
    char printable[key_name_size];
    char shown[key_name_size + 4];
    snprintf(shown, sizeof shown, " [%7s] ", printable_name(printable, sizeof printable, name));
    put_text(conf.lines - 4, 2, shown, (int)strlen(shown));
    show_screen();
}

// Bytes the terminal has sent that nobody has read yet; what curses holds is not counted.
int bytes_waiting()
{
    int count = 0;
    if (ioctl(0, FIONREAD, &count) != 0)
        return 0;
    return count;
}

// The next key after an escape: waited for, or only what is there already (ERR when nothing is).
// A redraw in between is no key.
int key_after_escape(bool wait)
{
    if (!wait)
        return read_key_now(false).key;
    int key;
    do
        key = wait_key(-1);
    while (key == KEY_RESIZE);
    return key;
}

// Pasted text runs no command; the user learns where pasting works.
void tell_paste_ignored()
{
    const char *open_key = conf.keys[action::open];
    char key[key_name_size];
    char text[96];
    if (open_key[0] == '\0')
        snprintf(text, sizeof text, "paste ignored");
    else
        snprintf(text, sizeof text, "paste ignored: press %s to paste into the prompt",
                 printable_name(key, sizeof key, open_key));
    show_message(text);
}

// The key just read came with a burst of bytes: it goes with all of them, and with what follows
// without a pause.
void discard_burst()
{
    drop_waiting_input();
    while (!is_nodelay(stdscr) && wait_for_input(-1, &burst_quiet).terminal && bytes_waiting() > 0)
        drop_waiting_input();
    tell_paste_ignored();
}

bool is_parameter_or_intermediate(int key)
{
    return key >= 0x20 && key <= 0x3f;
}

// Where bracketed paste is not in force, a key that came together with further bytes is the
// start of a paste, unless the bytes are one UTF-8 character. An escape begins a key's sequence,
// which has rules of its own.
bool came_in_a_burst(int code)
{
    if (conf.paste_on[0] != '\0' || code > 0xff || code == key_escape)
        return false;
    int together = 1 + bytes_waiting();
    return together >= burst_bytes && together != utf8_sequence_length((unsigned char)code);
}

// The terminal has gone (end of file, a hang-up): the client ends as on Quit.
int input_ended()
{
    dlog(8, "c_get_key: terminal input ended");
    conf.quit = 1;
    return 0;
}

} // namespace

void key_name_of(int code, char (&name)[key_name_size])
{
    name[0] = '\0';
    if (code == key_ctrl_l || code == key_escape || code == KEY_MOUSE)
        return;
    for (const named_key &key : named_keys) {
        if (key.code == code) {
            zt_strncpy(name, key.name, key_name_size - 1);
            return;
        }
    }
    // Keypad Enter is Return. Other codes beyond a byte (shifted, modified and keypad keys) have
    // no name: their low byte would pass them off as some unrelated character.
    if (code == KEY_ENTER)
        code = key_line_feed;
    else if (code > 0xff)
        return;
    name[0] = (char)(code & 0xff);
    name[1] = '\0';
}

int key_code_for_name(const char *name)
{
    // An unbound action holds the empty text: looking the empty name up would run it.
    if (name[0] == '\0')
        return 0;
    int number = action_by_key_name(name);
    if (number != action::none)
        return -number;
    return (unsigned char)name[0];
}

key_read read_key_now(bool reported_readable)
{
    int waiting = bytes_waiting();
    int delay = wgetdelay(stdscr);
    wtimeout(stdscr, 0);
    int key = wgetch(stdscr);
    wtimeout(stdscr, delay);
    return {key, key == ERR && reported_readable && waiting == 0};
}

int c_get_key()
{
    key_read read = read_key_now(true);
    if (read.ended)
        return input_ended();
    int code = read.key;
    // Curses kept what came for itself (part of a sequence, say): nothing to do yet.
    if (code == ERR)
        return 0;
    if (code == key_paste_start) {
        discard_paste();
        return 0;
    }
    if (came_in_a_burst(code)) {
        discard_burst();
        return 0;
    }
    if (code == KEY_MOUSE)
        return ccm();
    if (code == key_ctrl_l) {
        dlog(8, "c_get_key: ctrl-l, redraw screen");
        window_resize();
    } else if (code == key_escape) {
        dlog(8, "c_get_key: got wild escape, eating next 2 keys");
        escape_tail tail = read_escape_tail(true);
        if (tail == escape_tail::ended)
            return input_ended();
        if (tail == escape_tail::paste) {
            discard_paste();
            return 0;
        }
    }
    char name[key_name_size];
    key_name_of(code, name);
    echo_key_name(name);
    dlog(8, "c_get_key: key:%d, string:[%s]", code, name);
    return key_code_for_name(name);
}

int wait_key(int seconds)
{
    timeval limit{seconds, 0};
    bool readable = false;
    for (;;) {
        key_read read = read_key_now(readable);
        if (read.key != ERR)
            return read.key;
        // A screen in no-delay mode never waits for a key.
        if (read.ended || is_nodelay(stdscr))
            return ERR;
        input_wait wait = wait_for_input(-1, seconds < 0 ? nullptr : &limit);
        if (wait.hung_up)
            return ERR;
        if (wait.redrawn)
            return KEY_RESIZE;
        if (wait.rc == 0 && seconds >= 0)
            return ERR;
        readable = wait.terminal || (wait.rc < 0 && errno != EINTR);
    }
}

int next_pasted_key()
{
    int key;
    // An end marker with at least another end marker's bytes right behind it was part of the
    // pasted text: the paste's own end came in the same burst, and nobody types that much
    // within microseconds of a paste. Fewer bytes are keys typed after it, read late.
    do
        key = wait_key(paste_silence_seconds);
    while (key == key_paste_end && bytes_waiting() >= conf.paste_end_length);
    return key == key_paste_end ? ERR : key;
}

void discard_paste()
{
    while (next_pasted_key() != ERR) {
    }
    tell_paste_ignored();
}

escape_tail read_escape_tail(bool wait)
{
    int key = key_after_escape(wait);
    if (key == ERR)
        return wait ? escape_tail::ended : escape_tail::alone;
    if (key == key_paste_start)
        return escape_tail::paste;
    if (key == control_sequence_start) {
        do
            key = key_after_escape(wait);
        while (is_parameter_or_intermediate(key));
    } else if (key == single_shift_three || wait) {
        key = key_after_escape(wait);
    } else {
        return escape_tail::key;
    }
    if (key == key_paste_start)
        return escape_tail::paste;
    return key == ERR && wait ? escape_tail::ended : escape_tail::key;
}

void drop_waiting_input()
{
    flushinp();
    char sink[4096];
    for (int count; (count = bytes_waiting()) > 0;)
        if (read(0, sink, (size_t)count < sizeof sink ? (size_t)count : sizeof sink) <= 0)
            return;
}
