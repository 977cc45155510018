#include "config/key_table.h"

#include <cstring>

#include "base/text.h"
#include "conf.h"

namespace {

// Older configuration files bind the root menu under this name; it is read, never written.
constexpr const char *root_menu_alias = "k_go_shortcuts";

} // namespace

static bool is_action(int number)
{
    return number >= first_bindable_action && number < action_count;
}

int action_by_key_name(const char *name)
{
    for (int number = first_bindable_action; number < action_count; number++)
        if (strcmp(conf.keys[number], name) == 0)
            return number;
    return action::none;
}

int action_by_config_key(const char *config_key)
{
    if (strcmp(config_key, root_menu_alias) == 0)
        return action::go_root_menu;
    for (int number = first_bindable_action; number < action_count; number++) {
        const char *key = key_table[number].config_key;
        if (key != nullptr && strcmp(key, config_key) == 0)
            return number;
    }
    return action::none;
}

void bind_key(int number, const char *key)
{
    if (is_action(number))
        zt_strncpy(conf.keys[number], key, key_name_capacity - 1);
}

void clear_bindings()
{
    for (char *key : conf.keys)
        key[0] = '\0';
}

void bind_default_keys()
{
    for (int number = first_bindable_action; number < action_count; number++)
        if (key_table[number].default_key != nullptr)
            bind_key(number, key_table[number].default_key);
}

void fill_display_names()
{
    for (int number = action::none; number < action_count; number++)
        zt_strncpy(conf.key_names[number], key_table[number].display_name,
                   display_name_capacity - 1);
}
