#include "input/keys.h"

#include <cstdio>
#include <curses.h>
#include <iterator>
#include <sys/select.h>

#include "app/dlog.h"
#include "app/util.h"
#include "conf.h"
#include "config/key_table.h"
#include "input/mouse.h"
#include "screen/window.h"

namespace {

constexpr int key_ctrl_l = 12;
constexpr int key_escape = 27;

struct named_key {
    int code;
    const char *name;
};

// The keys that bindings name by word; every other key is named by its own byte.
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

// Shows the name of the key just read, for checking bindings with the debug level raised.
void echo_key_name(const char *name)
{
    if (conf.debug <= 0 || (unsigned char)name[0] <= 31)
        return;
    if (wmove(stdscr, conf.lines - 4, 2) == ERR)
        return;
    wprintw(stdscr, " [%7s] ", name);
    wrefresh(stdscr);
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
    name[0] = (char)(code & 0xff);
    name[1] = '\0';
}

int key_code_for_name(const char *name)
{
    // An unbound action holds the empty text: looking the empty name up would run it.
    if (name[0] == '\0')
        return 0;
    int action = action_by_key_name(name);
    if (action > 0)
        return -action;
    return (unsigned char)name[0];
}

int c_get_key()
{
    int code = wgetch(stdscr);
    if (code == KEY_MOUSE)
        return ccm();
    if (code == key_ctrl_l) {
        dlog(8, "c_get_key: ctrl-l, redraw screen");
        window_resize();
    } else if (code == key_escape) {
        dlog(8, "c_get_key: got wild escape, eating next 2 keys");
        wgetch(stdscr);
        wgetch(stdscr);
    }
    char name[key_name_size];
    key_name_of(code, name);
    echo_key_name(name);
    dlog(8, "c_get_key: key:%d, string:[%s]", code, name);
    return key_code_for_name(name);
}

int wait_key(int seconds)
{
    fflush(stdin);
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(0, &ready);
    timeval limit{seconds, 0};
    if (select(1, &ready, nullptr, nullptr, seconds < 0 ? nullptr : &limit) != 1)
        return -1;
    return wgetch(stdscr);
}
