#pragma once

#include "config/actions.h"

// Action number of the first bound key equal to name (1..63), or action::none.
int action_by_key_name(const char *name);
// Action number bound by a configuration key ("k_quit", "k_go_shortcuts", ...), or action::none.
int action_by_config_key(const char *config_key);
// The constant row of action number 0..63; any other number gives the null row.
const action_def &action_row(int number);
// Binds the first 7 characters of key to action number 1..63; other numbers take no key.
void bind_key(int number, const char *key);
// Clears every binding.
void clear_bindings();
// Binds every action to its default key.
void bind_default_keys();
// Fills the display names in conf.
void fill_display_names();
