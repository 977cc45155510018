#pragma once

// Whether the terminal type in TERM is known and can position the cursor, which every screen
// element needs; when it cannot, says so on standard error.
bool terminal_type_usable();
// The terminal's own reset strings into buf, for the crash handler, which may not call curses:
// leave the alternate screen, show the cursor, stop keypad transmit, attributes and mouse
// reports. Read once curses has started; returns the length, always terminated.
int terminal_reset_text(char *buf, int size);
