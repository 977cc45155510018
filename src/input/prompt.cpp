#include "input/prompt.h"

#include <cstdio>
#include <cstring>
#include <curses.h>
#include <unistd.h>

#include "base/log.h"
#include "base/protocol.h"
#include "conf.h"
#include "input/keys.h"
#include "link/commands.h"
#include "screen/layout.h"
#include "screen/paint.h"
#include "screen/panel.h"
#include "screen/window.h"

namespace {

constexpr const char *prompt_label = "open: ";
constexpr int text_capacity = 1024;
constexpr int max_length = 256;
constexpr int key_enter = 10;
constexpr int key_escape = 27;
constexpr int key_del = 127;
constexpr int zero_key_pause_us = 100000;

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

// Applies one key; false when it closes the prompt.
bool apply_key(prompt_text &text, int k)
{
    switch (k) {
    case key_escape:
        discard(text);
        return false;
    case key_enter:
    case KEY_ENTER:
        return false;
    case 0:
        usleep(zero_key_pause_us);
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
    default:
        append(text, k);
        if (text.length < max_length)
            return true;
        // Ended by its length, the prompt may be in the middle of a paste: what follows must not
        // run as commands.
        flushinp();
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
        k = wait_key();
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
