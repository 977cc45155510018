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
// The next key of a paste begun with key_paste_start: ERR at its end marker, after 10 s without
// a byte, and when the terminal input ends. An end marker with the bytes of another right behind
// it belongs to the pasted text.
int next_pasted_key();
// Throws a paste away up to its end and says on the message line where pasting works.
void discard_paste();

// What came after an escape, read to the end of its sequence.
enum class escape_tail {
    alone,  // nothing: the Escape key itself
    key,    // a key's sequence, eaten: CSI to its final byte, ESC O and one byte, Alt and a key,
            // or, when waited for, the next two keys
    paste,  // the start marker of a paste, read: the caller handles the paste
    ended,  // the terminal input ended
};
// The one reader of what follows an escape, for the stray escape outside the prompt (wait: the
// keys are waited for) and the Escape key in the prompt (only what came with it counts).
escape_tail read_escape_tail(bool wait);
// Throws away what the terminal has sent and curses holds, unread.
void drop_waiting_input();
// The name of a curses key code: a special key's name, else the low 8 bits as one character
// (keypad Enter is Return); empty for ctrl-L, escape, the mouse and other codes beyond a byte.
void key_name_of(int code, char (&name)[key_name_size]);
// The key_code of a key name: the negated number of the lowest action bound to it, else its first
// byte; 0 for the empty name, which never consults the bindings.
int key_code_for_name(const char *name);
