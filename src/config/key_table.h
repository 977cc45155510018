#pragma once

#include <array>

#include "config/actions.h"

// The action rows indexed by their number.
constexpr std::array<action_def, action_count> rows_by_number()
{
    std::array<action_def, action_count> rows{};
    for (const action_def &def : action_defs)
        rows[def.id] = def;
    return rows;
}

inline constexpr std::array<action_def, action_count> key_table = rows_by_number();

// Action number of the first bound key equal to name (1..63), or action::none.
int action_by_key_name(const char *name);
// Action number bound by a configuration key ("k_quit", "k_go_shortcuts", ...), or action::none.
int action_by_config_key(const char *config_key);
// Binds the first 7 characters of key to action number 1..63; other numbers take no key.
void bind_key(int number, const char *key);
// Clears every binding.
void clear_bindings();
// Binds every action to its default key.
void bind_default_keys();
// Fills the display names in conf.
void fill_display_names();
