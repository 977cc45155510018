#include "input/dispatch.h"

#include <iterator>

#include "base/log.h"
#include "conf.h"
#include "input/prompt.h"
#include "link/commands.h"
#include "screen/help.h"
#include "screen/listview.h"
#include "screen/panel.h"

namespace {

// Codes of keys that no binding claimed, by their first byte.
constexpr int code_line_feed = 10;
constexpr int code_return = 13;
constexpr int code_slash = 47;

using action_fn = void (*)();

void quit_client() { conf.quit = 1; }

// The indicator shows the volume the core reported last; the new one follows the core's report.
void volume_down()
{
    send_vol_step(-3);
    draw_volume();
}

void volume_up()
{
    send_vol_step(3);
    draw_volume();
}

void make_recursive_list() { send_make_recursive_list(); }

template <int mask>
void toggle_effect() { send_toggle_effects(mask); }
template <int slot>
void load_fav() { send_loadfav(slot); }
template <int slot>
void set_fav() { send_setfav(slot); }

// What each action does, by action number; nullptr: nothing (Play, Copy to fav dir, Delete file,
// Go current, Ask and look for and Toggle eias have no command).
constexpr action_fn action_handlers[] = {
    nullptr,                         // 0 NULL
    quit_client,                     // 1 Quit
    send_stop,                       // 2 Stop
    nullptr,                         // 3 Play
    send_pause,                      // 4 Pause
    send_prev,                       // 5 Prev
    send_next,                       // 6 Next
    send_rwnd,                       // 7 Rewind
    send_ffwd,                       // 8 FForward
    volume_down,                     // 9 Volume -
    volume_up,                       // 10 Volume +
    cursor_bottom,                   // 11 Go bottom
    cursor_down,                     // 12 Go down
    page_down,                       // 13 Page down
    send_go_parent,                  // 14 Go parent
    make_recursive_list,             // 15 MRL
    load_current,                    // 16 Enter
    cursor_top,                      // 17 Go top
    cursor_up,                       // 18 Go up
    page_up,                         // 19 Page up
    open_prompt,                     // 20 Get string and load2
    nullptr,                         // 21 Copy to fav dir
    nullptr,                         // 22 Delete file
    send_toggle_repeat,              // 23 Toggle repeat
    nullptr,                         // 24 Go current
    send_toggle_shuffle,             // 25 Toggle shuffle
    send_toggle_shuffle,             // 26 Toggle shuffle2
    send_toggle_vids,                // 27 Toggle vids
    send_go_root,                    // 28 Go rootmenu
    cycle_fullpath,                  // 29 Toggle fullpath
    draw_help,                       // 30 Show help
    draw_info,                       // 31 Show clip info
    nullptr,                         // 32 Ask and look for
    toggle_effect<effect_reverb>,    // 33 Toggle reverb
    toggle_effect<effect_contrast>,  // 34 Toggle contrast
    toggle_effect<effect_earwax>,    // 35 Toggle earwax
    toggle_effect<effect_flanger>,   // 36 Toggle flanger
    send_toggle_eq,                  // 37 Toggle eq
    send_scroblove,                  // 38 Scrob love
    send_scrobbler,                  // 39 Toggle scrobbler
    load_fav<0>,                     // 40 Load fav 0
    load_fav<1>,
    load_fav<2>,
    load_fav<3>,
    load_fav<4>,
    load_fav<5>,
    load_fav<6>,
    load_fav<7>,
    load_fav<8>,
    load_fav<9>,                     // 49 Load fav 9
    set_fav<0>,                      // 50 Set fav 0
    set_fav<1>,
    set_fav<2>,
    set_fav<3>,
    set_fav<4>,
    set_fav<5>,
    set_fav<6>,
    set_fav<7>,
    set_fav<8>,
    set_fav<9>,                      // 59 Set fav 9
    toggle_effect<effect_overdrive>, // 60 Toggle overdrive
    toggle_effect<effect_karaoke>,   // 61 Toggle karaoke
    nullptr,                         // 62 Toggle eias
    send_quit,                       // 63 Core quit
};
static_assert(std::size(action_handlers) == action_count);

bool is_action_code(int key_code) { return key_code <= 0 && key_code > -action_count; }

const char *action_name(int key_code)
{
    return is_action_code(key_code) ? conf.key_names[-key_code] : "??";
}

// The last entry, for "/" when no binding claims it.
void jump_to_last() { scrollto(conf.list.dmt - 1, 0); }

action_fn handler_of(int key_code)
{
    if (is_action_code(key_code))
        return action_handlers[-key_code];
    if (key_code == code_line_feed || key_code == code_return)
        return load_current;
    if (key_code == code_slash)
        return jump_to_last;
    return nullptr;
}

void show_cursor() { scrollto(conf.list.pos, 0); }

} // namespace

void check_key(int key_code)
{
    dlog(8, "check_key: %d, action: %s", key_code, action_name(key_code));
    action_fn handler = handler_of(key_code);
    if (handler != nullptr)
        handler();
}

// The cursor operations move without bounds checks: scrollto clamps to the list.
void cursor_up()
{
    conf.list.pos--;
    show_cursor();
}

void cursor_down()
{
    conf.list.pos++;
    show_cursor();
}

void page_up()
{
    conf.list.pos -= conf.lh;
    show_cursor();
}

void page_down()
{
    conf.list.pos += conf.lh;
    show_cursor();
}

void cursor_top()
{
    // A negative top marks the help or info screen: keeping it makes the list come back whole.
    if (conf.list.top >= 0)
        conf.list.top = 0;
    conf.list.pos = 0;
    show_cursor();
}

void cursor_bottom()
{
    conf.list.pos = conf.list.dmt - 1;
    show_cursor();
}
