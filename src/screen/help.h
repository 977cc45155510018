#pragma once

#include <cstddef>

// Values of conf.list.top while a screen covers the list area.
constexpr int top_help_screen = -2;
constexpr int top_info_screen = -3;
// Rows of the help screen that carry text.
constexpr int help_row_count = 13;

// Shows the help screen in the list area, or the list again when it is shown.
void draw_help();
// Shows the clip-info screen in the list area, or the list again when it is shown.
void draw_info();
// Text of help row r cut to size - 1 characters; empty for rows without text.
void format_help_row(int r, char *buf, size_t size);
// Short name of a player number; "?" for a number without a name.
const char *player_name(int number);
