#pragma once

#include <curses.h>

// What curses returns for the markers a terminal puts around pasted text: far above the codes it
// gives the keys of the terminal description itself, which follow KEY_MAX.
constexpr int key_paste_start = 0x7000;
constexpr int key_paste_end = 0x7001;
static_assert(key_paste_start > KEY_MAX);

// Whether the terminal type in TERM is known and can position the cursor, which every screen
// element needs; when it cannot, says so on standard error.
bool terminal_type_usable();
// Reads the bracketed-paste switches into conf and makes curses return the paste markers as keys
// of their own, and the common other forms of keypad Enter, Home and End as those keys where the
// terminal description gives them no other meaning (tmux and screen send some of them).
void learn_terminal_keys();
// Switches bracketed paste on or off where the terminal description has it.
void set_bracketed_paste(bool on);

// The terminal's own reset strings into buf, for the crash handler, which may not call curses:
// leave the alternate screen, show the cursor, stop keypad transmit, attributes, bracketed paste
// and mouse reports. Read once curses has started; returns the length, always terminated.
int terminal_reset_text(char *buf, int size);
