#include "config/key_table.h"
// stand-in until the key table is built
static constexpr key_action null_row{"NULL", nullptr, nullptr};
int action_by_key_name(const char *) { return 0; }
int action_by_config_key(const char *) { return 0; }
const key_action &action_row(int) { return null_row; }
void bind_key(int, const char *) {}
void clear_bindings() {}
void bind_default_keys() {}
void fill_display_names() {}
