#include "input/prompt.h"

#include <cstdio>
#include <cstring>
#include <curses.h>

#include "base/log.h"
#include "base/protocol.h"
#include "conf.h"
#include "input/keys.h"
#include "link/commands.h"
#include "screen/layout.h"
#include "screen/paint.h"
#include "screen/panel.h"
#include "screen/terminal_type.h"
#include "screen/window.h"

namespace {

constexpr const char *prompt_label = "open: ";
constexpr int text_capacity = 1024;
constexpr int max_length = 256;
constexpr int key_enter = 10;
constexpr int key_escape = 27;
constexpr int key_del = 127;

struct prompt_text {
    char bytes[text_capacity];
    int length;
};

// Draws typed byte i, or a blank, after the label in the colours of the message line. A byte
// that curses would spread over several cells (a control, DEL, 8-bit) shows as "?", so the echo
// never wraps.
void echo_at(int i, unsigned char c)
{
    screen_field line = field_at(field::message, conf.lines, conf.cols);
    int x = line.x + (int)strlen(prompt_label) + i;
    put_styled_char(line.y, x, (unsigned char)printable_char((char)c), line.style);
    show_screen();
}

// The label and the text typed so far, as after each key.
void show_prompt(const prompt_text &text)
{
    draw_message(0, prompt_label);
    for (int i = 0; i < text.length; i++)
        echo_at(i, (unsigned char)text.bytes[i]);
}

void erase_last(prompt_text &text)
{
    if (text.length == 0)
        return;
    text.bytes[--text.length] = '\0';
    echo_at(text.length, ' ');
}

void append(prompt_text &text, int k)
{
    text.bytes[text.length] = (char)(k & 0xff);
    echo_at(text.length, (unsigned char)text.bytes[text.length]);
    text.length++;
}

void discard(prompt_text &text)
{
    text.length = 0;
    text.bytes[0] = '\0';
}

// Only printable bytes become text: controls would go out on the wire inside the command.
bool is_text_byte(int k)
{
    return (k >= 0x20 && k < 0x7f) || (k >= 0x80 && k <= 0xff);
}

// A paste is text, whatever it holds: its printable bytes up to the limit; line ends, tabs,
// escapes and other controls go. It never ends the prompt.
void take_paste(prompt_text &text)
{
    for (int k; (k = next_pasted_key()) != ERR;) {
        if (k == KEY_RESIZE)
            show_prompt(text);
        else if (is_text_byte(k) && text.length < max_length)
            append(text, k);
    }
}

// Applies one key; false when it closes the prompt.
bool apply_key(prompt_text &text, int k)
{
    switch (k) {
    case key_escape:
        // Alt with a key, or a key the terminal description does not know: no Escape.
        if (escape_began_a_key())
            return true;
        discard(text);
        return false;
    case key_enter:
    case KEY_ENTER:
        // What came with the line end (the rest of a pasted text) must not run as commands.
        drop_waiting_input();
        return false;
    // Terminals send their Backspace key as DEL, which keypad mode hands over as KEY_BACKSPACE.
    case key_del:
    case KEY_BACKSPACE:
        erase_last(text);
        return true;
    case KEY_MOUSE:
        draw_message(0, "KEY_MOUSE");
        return true;
    case KEY_RESIZE:
        show_prompt(text);
        return true;
    case key_paste_start:
        take_paste(text);
        return true;
    default:
        // Other controls and function keys are no text; a full text takes no more.
        if (!is_text_byte(k) || text.length >= max_length)
            return true;
        append(text, k);
        if (text.length < max_length)
            return true;
        // Ended by its length, the prompt may be in the middle of a paste: what follows must not
        // run as commands.
        drop_waiting_input();
        return false;
    }
}

} // namespace

void open_prompt()
{
    prompt_text text{};
    show_prompt(text);
    int k = 0;
    for (;;) {
        k = wait_key(-1);
        if (k == ERR) {
            dlog(8, "open: terminal input failed, text dropped");
            discard(text);
            break;
        }
        if (!apply_key(text, k))
            break;
    }
    if (conf.debug > 7) {
        char line[1024];
        snprintf(line, sizeof line, "open: i:%d k:%d s:[%.256s]", text.length, k, text.bytes);
        draw_message(8, line);
    }
    if (text.length > 0)
        send_load2(text.bytes);
    else
        show_now_playing();
}
