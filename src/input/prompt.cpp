#include "input/prompt.h"

#include <cstdio>
#include <cstring>
#include <curses.h>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "input/key_codes.h"
#include "input/keys.h"
#include "link/commands.h"
#include "screen/layout.h"
#include "screen/message_line.h"
#include "screen/panel.h"
#include "screen/terminal_type.h"
#include "screen/window.h"

namespace {

constexpr char prompt_label[] = "open: ";
constexpr int text_capacity = 1024;
constexpr int max_length = 256;

struct prompt_text {
    char bytes[text_capacity];
    int length;
    int awaited;  // bytes of the last character that have not come yet
    bool full;    // a character did not fit: the text takes no more
};

// How the prompt ended.
enum class prompt_end { open, closed, closed_before_paste };

// The label and as much of the text's end as the message line shows, each character as a name
// would show. Drawn whole at every change: nothing of a longer echo stays behind.
void show_prompt(const prompt_text &text)
{
    screen_field line = field_at(field::message, conf.lines, conf.cols);
    int room = line.width - text_columns(prompt_label);
    int columns = text_columns(text.bytes);
    const char *tail = text.bytes;
    if (columns > room && room > 0)
        tail += text_head(text.bytes, columns - room).bytes;
    char echo[sizeof prompt_label + text_capacity];
    snprintf(echo, sizeof echo, "%s%s", prompt_label, tail);
    paint_message_line(echo);
}

void erase_last(prompt_text &text)
{
    if (text.length == 0)
        return;
    int start = (int)last_char_start(text.bytes, (size_t)text.length);
    memset(text.bytes + start, 0, (size_t)(text.length - start));
    text.length = start;
    text.awaited = 0;
    text.full = false;
    show_prompt(text);
}

// Adds one byte of typed or pasted text; false when its character does not fit whole, which
// fills the text. In a UTF-8 locale a character's bytes come one by one: it shows once whole.
bool append(prompt_text &text, int k)
{
    if (text.full)
        return false;
    if (text.awaited > 0 && is_utf8_continuation((unsigned char)k)) {
        text.awaited--;
    } else {
        int bytes = utf8_locale() ? utf8_sequence_length((unsigned char)k) : 1;
        if (text.length + bytes > max_length) {
            text.full = true;
            return false;
        }
        text.awaited = bytes - 1;
    }
    text.bytes[text.length++] = (char)k;
    if (text.awaited == 0)
        show_prompt(text);
    return true;
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
        else if (is_text_byte(k))
            append(text, k);
    }
}

prompt_end on_escape(prompt_text &text)
{
    switch (read_escape_tail(false)) {
    case escape_tail::key:
        // Alt with a key, or a key the terminal description does not know: no Escape.
        return prompt_end::open;
    case escape_tail::paste:
        discard(text);
        return prompt_end::closed_before_paste;
    default:
        discard(text);
        return prompt_end::closed;
    }
}

// Takes a typed byte; the prompt ends once the text is full, and what was typed with it, as the
// rest of a paste, must not run as commands.
prompt_end on_text(prompt_text &text, int k)
{
    if (append(text, k) && text.length < max_length)
        return prompt_end::open;
    drop_waiting_input();
    return prompt_end::closed;
}

prompt_end apply_key(prompt_text &text, int k)
{
    switch (k) {
    case key_escape:
        return on_escape(text);
    case key_line_feed:
    case KEY_ENTER:
        // What came with the line end (the rest of a pasted text) must not run as commands.
        drop_waiting_input();
        return prompt_end::closed;
    // Terminals send their Backspace key as DEL, which keypad mode hands over as KEY_BACKSPACE.
    case key_del:
    case KEY_BACKSPACE:
        erase_last(text);
        return prompt_end::open;
    case KEY_MOUSE:
        draw_message(0, "KEY_MOUSE");
        return prompt_end::open;
    case KEY_RESIZE:
        show_prompt(text);
        return prompt_end::open;
    case key_paste_start:
        take_paste(text);
        return prompt_end::open;
    default:
        // Other controls and function keys are no text.
        return is_text_byte(k) ? on_text(text, k) : prompt_end::open;
    }
}

// Once closed, the prompt must not look open. A sent text stays beside a now-playing line until
// the core answers; otherwise the now-playing line comes back, or the line is left empty.
void close_message_line(bool sent)
{
    if (!has_now_playing())
        paint_message_line("");
    else if (!sent)
        show_now_playing();
}

} // namespace

void open_prompt()
{
    prompt_text text{};
    draw_message(0, prompt_label);
    int k = 0;
    prompt_end end = prompt_end::open;
    while (end == prompt_end::open) {
        k = wait_key(-1);
        if (k == ERR) {
            dlog(8, "open: terminal input failed, text dropped");
            discard(text);
            break;
        }
        end = apply_key(text, k);
    }
    if (conf.debug > 7) {
        char line[1024];
        snprintf(line, sizeof line, "open: i:%d k:%d s:[%.256s]", text.length, k, text.bytes);
        draw_message(8, line);
    }
    if (text.length > 0)
        send_load2(text.bytes);
    close_message_line(text.length > 0);
    // An Escape followed at once by a paste: the paste comes after the prompt, as any other.
    if (end == prompt_end::closed_before_paste)
        discard_paste();
}
