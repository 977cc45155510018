#pragma once

// One row of the action table: constant names and the default binding.
struct key_action {
    const char *display_name;
    const char *config_key;   // nullptr for the null action and Play
    const char *default_key;  // nullptr for the null action and Play
};

// Action number of the first bound key equal to name (1..63), or 0.
int action_by_key_name(const char *name);
// Action number bound by a configuration key ("k_quit", "k_go_shortcuts", ...), or 0.
int action_by_config_key(const char *config_key);
// The constant row of an action, 0..63; any other number gives the null row.
const key_action &action_row(int action);
// Binds the first 7 characters of key to action.
void bind_key(int action, const char *key);
// Clears every binding.
void clear_bindings();
// Binds every action to its default key.
void bind_default_keys();
// Fills the display names in conf.
void fill_display_names();
