// The codes of the keys the input code treats apart, as curses returns them: one name each, for
// the key reader, the prompt and the dispatcher alike.
#pragma once

constexpr int key_line_feed = 10;   // Enter, and an unbound Enter's key_code
constexpr int key_ctrl_l = 12;
constexpr int key_carriage_return = 13;
constexpr int key_escape = 27;
constexpr int key_slash = 47;
constexpr int key_del = 127;        // what terminals send for their Backspace key
