#pragma once

#include <cstddef>

// A key name and its terminator: the longest name is "BACKSPACE".
constexpr size_t key_name_size = 10;

// Reads one key, once the terminal is readable, and returns its key_code: -1..-63 an action, 1..255 an unbound key's first byte,
// 0 nothing.
int c_get_key();
struct key_read {
    int key;     // ERR when no key was there
    bool ended;  // the terminal was reported readable, yet held nothing: its input has ended
};
// Reads a key that curses holds or the terminal has sent, never waiting for bytes that have not
// come. reported_readable: a wait has just said the terminal was readable.
key_read read_key_now(bool reported_readable);
// Waits for one key, at most seconds (negative: no limit), acting on signals meanwhile:
// KEY_RESIZE once the screen was redrawn for a resize or a continue, ERR on time-out and when the
// terminal input has ended (at once in no-delay mode).
int wait_key(int seconds);
// The next key of a paste begun with key_paste_start: ERR at its end marker, after a second
// without it, and when the terminal input ends.
int next_pasted_key();
// After an escape: true when it came together with more bytes and so began a key (a control
// sequence, eaten to its final byte; ESC O and one byte; Alt and a key), which is eaten; false
// for the Escape key alone.
bool escape_began_a_key();
// Throws away what the terminal has sent and curses holds, unread.
void drop_waiting_input();
// The name of a curses key code: a special key's name, else the low 8 bits as one character
// (keypad Enter is Return); empty for ctrl-L, escape, the mouse and other codes beyond a byte.
void key_name_of(int code, char (&name)[key_name_size]);
// The key_code of a key name: the negated number of the lowest action bound to it, else its first
// byte; 0 for the empty name, which never consults the bindings.
int key_code_for_name(const char *name);
