#include "config/key_table.h"

#include <cstring>
#include <iterator>

#include "base/text.h"
#include "conf.h"

// Indexed by action number; the null action and Play have no configuration key and no default.
static constexpr key_action key_table[] = {
    {"NULL", nullptr, nullptr},
    {"Quit", "k_quit", "q"},
    {"Stop", "k_stop", "\\"},
    {"Play", nullptr, nullptr},
    {"Pause", "k_pause", "p"},
    {"Prev", "k_prev", "["},
    {"Next", "k_next", "]"},
    {"Rewind", "k_rwnd", ","},
    {"FForward", "k_ffwd", "."},
    {"Volume -", "k_vol-", "-"},
    {"Volume +", "k_vol+", "="},
    {"Go bottom", "k_mend", "END"},
    {"Go down", "k_mdown", "DOWN"},
    {"Page down", "k_mpgdn", "PGDOWN"},
    {"Go parent", "k_goparent", "LEFT"},
    {"MRL", "k_make_recursive_list", ";"},
    {"Enter", "k_enter", "RIGHT"},
    {"Go top", "k_mhome", "HOME"},
    {"Go up", "k_mup", "UP"},
    {"Page up", "k_mpgup", "PGUP"},
    {"Get string and load2", "k_open", "o"},
    {"Copy to fav dir", "k_copy_to_fav", "INSERT"},
    {"Delete file", "k_delete_file", "DELETE"},
    {"Toggle repeat", "k_repeat", "r"},
    {"Go current", "k_gocurrent", "?"},
    {"Toggle shuffle", "k_shuffle", "s"},
    {"Toggle shuffle2", "k_shuffle2", "S"},
    {"Toggle vids", "k_vids", "v"},
    {"Go rootmenu", "k_gorootmenu", "/"},
    {"Toggle fullpath", "k_pathtype", "f"},
    {"Show help", "k_help", "h"},
    {"Show clip info", "k_info", "i"},
    {"Ask and look for", "k_lookfor", "l"},
    {"Toggle reverb", "k_toggle_reverb", "V"},
    {"Toggle contrast", "k_toggle_contrast", "C"},
    {"Toggle earwax", "k_toggle_earwax", "W"},
    {"Toggle flanger", "k_toggle_flanger", "F"},
    {"Toggle eq", "k_toggle_eq", "E"},
    {"Scrob love", "k_scrob_fav", "u"},
    {"Toggle scrobbler", "k_scrob_tog", "U"},
    {"Load fav 0", "k_gofav0", "0"},
    {"Load fav 1", "k_gofav1", "1"},
    {"Load fav 2", "k_gofav2", "2"},
    {"Load fav 3", "k_gofav3", "3"},
    {"Load fav 4", "k_gofav4", "4"},
    {"Load fav 5", "k_gofav5", "5"},
    {"Load fav 6", "k_gofav6", "6"},
    {"Load fav 7", "k_gofav7", "7"},
    {"Load fav 8", "k_gofav8", "8"},
    {"Load fav 9", "k_gofav9", "9"},
    {"Set fav 0", "k_setfav0", ")"},
    {"Set fav 1", "k_setfav1", "!"},
    {"Set fav 2", "k_setfav2", "@"},
    {"Set fav 3", "k_setfav3", "#"},
    {"Set fav 4", "k_setfav4", "$"},
    {"Set fav 5", "k_setfav5", "%"},
    {"Set fav 6", "k_setfav6", "^"},
    {"Set fav 7", "k_setfav7", "&"},
    {"Set fav 8", "k_setfav8", "*"},
    {"Set fav 9", "k_setfav9", "("},
    {"Toggle overdrive", "k_toggle_overdrive", "O"},
    {"Toggle karaoke", "k_toggle_karaoke", "K"},
    {"Toggle eias", "k_eias", "e"},
    {"Core quit", "k_corequit", "Q"},
};
static_assert(std::size(key_table) == action_count);

// Older configuration files bind the root menu under this name.
static constexpr const char *root_menu_alias = "k_go_shortcuts";
static constexpr int root_menu_action = 28;

static bool is_action(int action)
{
    return action >= 1 && action < action_count;
}

int action_by_key_name(const char *name)
{
    for (int action = 1; action < action_count; action++)
        if (strcmp(conf.keys[action], name) == 0)
            return action;
    return 0;
}

int action_by_config_key(const char *config_key)
{
    if (strcmp(config_key, root_menu_alias) == 0)
        return root_menu_action;
    for (int action = 1; action < action_count; action++) {
        const char *key = key_table[action].config_key;
        if (key != nullptr && strcmp(key, config_key) == 0)
            return action;
    }
    return 0;
}

const key_action &action_row(int action)
{
    return is_action(action) ? key_table[action] : key_table[0];
}

void bind_key(int action, const char *key)
{
    if (is_action(action))
        zt_strncpy(conf.keys[action], key, key_name_capacity - 1);
}

void clear_bindings()
{
    for (char *key : conf.keys)
        key[0] = '\0';
}

void bind_default_keys()
{
    for (int action = 1; action < action_count; action++)
        if (key_table[action].default_key != nullptr)
            bind_key(action, key_table[action].default_key);
}

void fill_display_names()
{
    for (int action = 0; action < action_count; action++)
        zt_strncpy(conf.key_names[action], key_table[action].display_name,
                   display_name_capacity - 1);
}
