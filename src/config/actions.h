// The actions every key, button and click carries out, in one list: the action names, the rows
// of the key table, the order in which the configuration file lists the bindings, and the key
// and click codes all come from it.
#pragma once

#include <iterator>

#include "conf.h"

// X(name, number, display name, configuration key, default key), in the order the saved
// configuration file lists the bindings; the null action and Play, which have no configuration
// key and are never saved, come first. The number is the action's row in the key table.
#define VESK_ACTIONS(X) \
    X(none, 0, "NULL", nullptr, nullptr)                                   \
    X(play, 3, "Play", nullptr, nullptr)                                   \
    X(quit, 1, "Quit", "k_quit", "q")                                      \
    X(core_quit, 63, "Core quit", "k_corequit", "Q")                       \
    X(stop, 2, "Stop", "k_stop", "\\")                                     \
    X(pause, 4, "Pause", "k_pause", "p")                                   \
    X(prev, 5, "Prev", "k_prev", "[")                                      \
    X(next, 6, "Next", "k_next", "]")                                      \
    X(rewind, 7, "Rewind", "k_rwnd", ",")                                  \
    X(fast_forward, 8, "FForward", "k_ffwd", ".")                          \
    X(volume_down, 9, "Volume -", "k_vol-", "-")                           \
    X(volume_up, 10, "Volume +", "k_vol+", "=")                            \
    X(go_bottom, 11, "Go bottom", "k_mend", "END")                         \
    X(go_down, 12, "Go down", "k_mdown", "DOWN")                           \
    X(page_down, 13, "Page down", "k_mpgdn", "PGDOWN")                     \
    X(go_root_menu, 28, "Go rootmenu", "k_gorootmenu", "/")                \
    X(go_current, 24, "Go current", "k_gocurrent", "?")                    \
    X(go_parent, 14, "Go parent", "k_goparent", "LEFT")                    \
    X(make_recursive_list, 15, "MRL", "k_make_recursive_list", ";")        \
    X(enter, 16, "Enter", "k_enter", "RIGHT")                              \
    X(go_top, 17, "Go top", "k_mhome", "HOME")                             \
    X(go_up, 18, "Go up", "k_mup", "UP")                                   \
    X(page_up, 19, "Page up", "k_mpgup", "PGUP")                           \
    X(open, 20, "Get string and load2", "k_open", "o")                     \
    X(copy_to_fav, 21, "Copy to fav dir", "k_copy_to_fav", "INSERT")       \
    X(delete_file, 22, "Delete file", "k_delete_file", "DELETE")           \
    X(toggle_repeat, 23, "Toggle repeat", "k_repeat", "r")                 \
    X(toggle_shuffle, 25, "Toggle shuffle", "k_shuffle", "s")              \
    X(toggle_shuffle2, 26, "Toggle shuffle2", "k_shuffle2", "S")           \
    X(toggle_vids, 27, "Toggle vids", "k_vids", "v")                       \
    X(toggle_eias, 62, "Toggle eias", "k_eias", "e")                       \
    X(toggle_fullpath, 29, "Toggle fullpath", "k_pathtype", "f")           \
    X(show_help, 30, "Show help", "k_help", "h")                           \
    X(show_info, 31, "Show clip info", "k_info", "i")                      \
    X(look_for, 32, "Ask and look for", "k_lookfor", "l")                  \
    X(toggle_eq, 37, "Toggle eq", "k_toggle_eq", "E")                      \
    X(toggle_flanger, 36, "Toggle flanger", "k_toggle_flanger", "F")       \
    X(toggle_earwax, 35, "Toggle earwax", "k_toggle_earwax", "W")          \
    X(toggle_contrast, 34, "Toggle contrast", "k_toggle_contrast", "C")    \
    X(toggle_reverb, 33, "Toggle reverb", "k_toggle_reverb", "V")          \
    X(toggle_overdrive, 60, "Toggle overdrive", "k_toggle_overdrive", "O") \
    X(toggle_karaoke, 61, "Toggle karaoke", "k_toggle_karaoke", "K")       \
    X(scrob_love, 38, "Scrob love", "k_scrob_fav", "u")                    \
    X(toggle_scrobbler, 39, "Toggle scrobbler", "k_scrob_tog", "U")        \
    X(load_fav0, 40, "Load fav 0", "k_gofav0", "0")                        \
    X(load_fav1, 41, "Load fav 1", "k_gofav1", "1")                        \
    X(load_fav2, 42, "Load fav 2", "k_gofav2", "2")                        \
    X(load_fav3, 43, "Load fav 3", "k_gofav3", "3")                        \
    X(load_fav4, 44, "Load fav 4", "k_gofav4", "4")                        \
    X(load_fav5, 45, "Load fav 5", "k_gofav5", "5")                        \
    X(load_fav6, 46, "Load fav 6", "k_gofav6", "6")                        \
    X(load_fav7, 47, "Load fav 7", "k_gofav7", "7")                        \
    X(load_fav8, 48, "Load fav 8", "k_gofav8", "8")                        \
    X(load_fav9, 49, "Load fav 9", "k_gofav9", "9")                        \
    X(set_fav0, 50, "Set fav 0", "k_setfav0", ")")                         \
    X(set_fav1, 51, "Set fav 1", "k_setfav1", "!")                         \
    X(set_fav2, 52, "Set fav 2", "k_setfav2", "@")                         \
    X(set_fav3, 53, "Set fav 3", "k_setfav3", "#")                         \
    X(set_fav4, 54, "Set fav 4", "k_setfav4", "$")                         \
    X(set_fav5, 55, "Set fav 5", "k_setfav5", "%")                         \
    X(set_fav6, 56, "Set fav 6", "k_setfav6", "^")                         \
    X(set_fav7, 57, "Set fav 7", "k_setfav7", "&")                         \
    X(set_fav8, 58, "Set fav 8", "k_setfav8", "*")                         \
    X(set_fav9, 59, "Set fav 9", "k_setfav9", "(")

namespace action {
enum id : int {
#define VESK_ACTION_NAME(name, number, display_name, config_key, default_key) name = number,
    VESK_ACTIONS(VESK_ACTION_NAME)
#undef VESK_ACTION_NAME
};
} // namespace action

// One row of the list: constant names and the default binding.
struct action_def {
    action::id id;
    const char *display_name;
    const char *config_key;   // nullptr for the null action and Play
    const char *default_key;  // nullptr for the null action and Play
};

// In the order of the list, which is the order of the saved bindings.
constexpr action_def action_defs[] = {
#define VESK_ACTION_DEF(name, number, display_name, config_key, default_key) \
    {action::name, display_name, config_key, default_key},
    VESK_ACTIONS(VESK_ACTION_DEF)
#undef VESK_ACTION_DEF
};
static_assert(std::size(action_defs) == action_count);

// Every number from 0 to action_count - 1 names exactly one action.
constexpr bool numbers_are_the_key_table_rows()
{
    int times[action_count] = {};
    for (const action_def &def : action_defs) {
        if (def.id < 0 || def.id >= action_count || times[def.id]++ != 0)
            return false;
    }
    return true;
}
static_assert(numbers_are_the_key_table_rows());

// The actions a key can be bound to: all but the null action.
constexpr int first_bindable_action = action::none + 1;

// The key code, and the click-region code, that carries action a: its negated number.
constexpr int action_code(action::id a)
{
    return -a;
}
