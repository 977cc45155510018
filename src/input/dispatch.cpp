#include "input/dispatch.h"

#include <array>
#include <iterator>

#include "base/log.h"
#include "conf.h"
#include "config/actions.h"
#include "input/key_codes.h"
#include "input/prompt.h"
#include "link/commands.h"
#include "screen/help.h"
#include "screen/listview.h"
#include "screen/panel.h"

namespace {

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

struct action_handler {
    action::id action;
    action_fn run;
};

// What each action does. Play, Copy to fav dir, Delete file, Go current, Ask and look for and
// Toggle eias have no command, and the null action none: they have no row.
constexpr action_handler handler_rows[] = {
    {action::quit, quit_client},
    {action::stop, send_stop},
    {action::pause, send_pause},
    {action::prev, send_prev},
    {action::next, send_next},
    {action::rewind, send_rwnd},
    {action::fast_forward, send_ffwd},
    {action::volume_down, volume_down},
    {action::volume_up, volume_up},
    {action::go_bottom, cursor_bottom},
    {action::go_down, cursor_down},
    {action::page_down, page_down},
    {action::go_parent, send_go_parent},
    {action::make_recursive_list, make_recursive_list},
    {action::enter, load_current},
    {action::go_top, cursor_top},
    {action::go_up, cursor_up},
    {action::page_up, page_up},
    {action::open, open_prompt},
    {action::toggle_repeat, send_toggle_repeat},
    {action::toggle_shuffle, send_toggle_shuffle},
    {action::toggle_shuffle2, send_toggle_shuffle},
    {action::toggle_vids, send_toggle_vids},
    {action::go_root_menu, send_go_root},
    {action::toggle_fullpath, cycle_fullpath},
    {action::show_help, draw_help},
    {action::show_info, draw_info},
    {action::toggle_reverb, toggle_effect<effect_reverb>},
    {action::toggle_contrast, toggle_effect<effect_contrast>},
    {action::toggle_earwax, toggle_effect<effect_earwax>},
    {action::toggle_flanger, toggle_effect<effect_flanger>},
    {action::toggle_eq, send_toggle_eq},
    {action::scrob_love, send_scroblove},
    {action::toggle_scrobbler, send_scrobbler},
    {action::load_fav0, load_fav<0>},
    {action::load_fav1, load_fav<1>},
    {action::load_fav2, load_fav<2>},
    {action::load_fav3, load_fav<3>},
    {action::load_fav4, load_fav<4>},
    {action::load_fav5, load_fav<5>},
    {action::load_fav6, load_fav<6>},
    {action::load_fav7, load_fav<7>},
    {action::load_fav8, load_fav<8>},
    {action::load_fav9, load_fav<9>},
    {action::set_fav0, set_fav<0>},
    {action::set_fav1, set_fav<1>},
    {action::set_fav2, set_fav<2>},
    {action::set_fav3, set_fav<3>},
    {action::set_fav4, set_fav<4>},
    {action::set_fav5, set_fav<5>},
    {action::set_fav6, set_fav<6>},
    {action::set_fav7, set_fav<7>},
    {action::set_fav8, set_fav<8>},
    {action::set_fav9, set_fav<9>},
    {action::toggle_overdrive, toggle_effect<effect_overdrive>},
    {action::toggle_karaoke, toggle_effect<effect_karaoke>},
    {action::core_quit, send_quit},
};
// Every action but the seven named above.
static_assert(std::size(handler_rows) == action_count - 7);

// The handlers by action number; nullptr: nothing.
constexpr std::array<action_fn, action_count> handlers_by_number()
{
    std::array<action_fn, action_count> handlers{};
    for (const action_handler &row : handler_rows)
        handlers[row.action] = row.run;
    return handlers;
}

// False when an action has two rows.
constexpr bool one_row_per_action()
{
    bool seen[action_count] = {};
    for (const action_handler &row : handler_rows) {
        if (seen[row.action])
            return false;
        seen[row.action] = true;
    }
    return true;
}
static_assert(one_row_per_action());

constexpr std::array<action_fn, action_count> action_handlers = handlers_by_number();

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
    // Keys that no binding claimed come by their first byte.
    if (key_code == key_line_feed || key_code == key_carriage_return)
        return load_current;
    if (key_code == key_slash)
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
