#include "link/commands.h"

#include <cstdio>

#include "base/protocol.h"
#include "base/text.h"
#include "conf.h"
#include "link/conn.h"

namespace {

// Lines with a number go out of a 16-byte buffer formatted with a 15-byte limit: at most 14
// characters, a longer result is cut.
constexpr int number_line_size = 16;
constexpr int load2_line_size = 256;
constexpr int recursive_line_size = 48;

void say_number(const char *keyword, int value)
{
    char full[48];
    snprintf(full, sizeof full, "%s %d", keyword, value);
    char line[number_line_size];
    zt_strncpy(line, full, number_line_size - 2);
    say(line);
}

// The text after the keyword, cut to what the line buffer's formatting limit leaves, and never
// inside a character: the core would get bytes that no name holds.
template <int size>
void say_text(const char *keyword, const char *text)
{
    char line[size];
    int used = snprintf(line, size - 1, "%s ", keyword);
    size_t room = (size_t)(size - 2 - used);
    snprintf(line + used, (size_t)(size - used), "%.*s", (int)whole_chars_within(text, room), text);
    say(line);
}

} // namespace

void send_quit() { say("QUIT"); }
void send_loadfav(int slot) { say_number("LOADFAV", slot); }
void send_setfav(int slot) { say_number("SETFAV", slot); }
void send_prev() { say("PREV"); }
void send_next() { say("NEXT"); }
void send_stop() { say("STOP"); }
void send_pause() { say("PAUSE"); }
void send_go_parent() { say("GO_PARENT"); }
void send_go_root() { say("GO_ROOT"); }
void send_rwnd() { say("RWND"); }
void send_ffwd() { say("FFWD"); }
void send_seek(int seconds) { say_number("SEEK", seconds); }
void send_load(int position) { say_number("LOAD", position); }
void send_vols(int percent) { say_number("VOLS", percent); }

void send_load2(const char *text)
{
    if (text == nullptr || text[0] == '\0')
        return;
    say_text<load2_line_size>("LOAD2", text);
}

void send_make_recursive_list(const char *text)
{
    if (text == nullptr) {
        say("MAKE_RECURSIVE_LIST");
        return;
    }
    say_text<recursive_line_size>("MAKE_RECURSIVE_LIST", text);
}

void send_toggle_shuffle() { say("TOGGLE SHUFFLE"); }
void send_toggle_repeat() { say("TOGGLE REPEAT"); }
void send_scrobbler() { say("SCROBBLER"); }
void send_scroblove() { say("SCROBLOVE"); }
void send_toggle_vids() { say("TOGGLE VIDS"); }
void send_toggle_eq() { say("TOGGLE EQ"); }

void send_toggle_effects(int mask)
{
    for (const effect_switch &effect : effect_switches) {
        if (mask & effect.bit)
            say(effect.command);
    }
}

void send_vol_step(int step)
{
    if (step == -3)
        say("VOL-");
    else if (step == 3)
        say("VOL+");
}

// The mode changes first so that the number on the wire is the one saved at quit.
void cycle_fullpath()
{
    // Any mode of 2 or more wraps to 0; testing before adding keeps a huge value from overflowing.
    conf.fullpath = conf.fullpath >= 2 ? 0 : conf.fullpath + 1;
    say_number("EHLO", conf.fullpath);
}

void load_current() { send_load(conf.list.pos); }
