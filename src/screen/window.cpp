#include "screen/window.h"

#include <clocale>
#include <cstdlib>
#include <curses.h>
#include <initializer_list>
#include <iterator>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "event/events.h"
#include "list/entry_list.h"
#include "screen/layout.h"
#include "screen/listview.h"
#include "screen/message_line.h"
#include "screen/paint.h"
#include "screen/panel.h"
#include "screen/style.h"
#include "screen/terminal_type.h"

namespace {

struct color_row {
    style pair;
    short foreground;
    short background;
    attr_t attr;
};

// In pair order: init_colors makes them one after the other.
constexpr color_row color_table[] = {
    {style_end, COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {style_screen, COLOR_RED, COLOR_BLACK, A_NORMAL},
    {style_status, COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {style_text, COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {style_file, COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {style_file_cursor, COLOR_WHITE, COLOR_BLACK, A_REVERSE},
    {style_playing, COLOR_WHITE, COLOR_BLUE, A_NORMAL},
    {style_playing_cursor, COLOR_WHITE, COLOR_BLUE, A_REVERSE},
    {style_dir, COLOR_YELLOW, COLOR_BLACK, A_NORMAL},
    {style_dir_cursor, COLOR_YELLOW, COLOR_BLACK, A_REVERSE},
    {style_spare_white, COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {style_spare_green, COLOR_GREEN, COLOR_BLACK, A_NORMAL},
};
static_assert(std::size(color_table) == style_count);

constexpr bool colors_in_pair_order()
{
    for (size_t i = 0; i < std::size(color_table); i++)
        if (color_table[i].pair != (int)i + 1)
            return false;
    return true;
}
static_assert(colors_in_pair_order());

// Every release too, though only the first button's counts: curses reads on, waiting, past an
// event outside the mask, where no signal and no core line can reach the client.
constexpr mmask_t mouse_events = BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON2_PRESSED |
                                 BUTTON2_RELEASED | BUTTON3_PRESSED | BUTTON3_RELEASED |
                                 BUTTON4_PRESSED | BUTTON4_RELEASED | BUTTON5_PRESSED |
                                 BUTTON5_RELEASED | REPORT_MOUSE_POSITION;

constexpr int escape_delay_ms = 50;

// The line-drawing glyphs exist only once curses has read the terminal description.
glyph_set choose_glyphs(int lineart)
{
    if (lineart <= 0)
        return {ACS_ULCORNER, ACS_URCORNER, ACS_LLCORNER, ACS_LRCORNER,
                ACS_LTEE, ACS_RTEE, ACS_VLINE, ACS_HLINE, '#'};
    if (lineart == 1)
        return {'.', '.', '`', '\'', '+', '+', '|', '-', '#'};
    return {'+', '+', '+', '+', '+', '+', '|', '-', '#'};
}

void save_terminal_settings()
{
    for (int fd = 0; fd < 3; fd++)
        conf.termios_saved[fd] = tcgetattr(fd, &conf.saved_termios[fd]) == 0;
}

void restore_terminal_settings()
{
    for (int fd = 0; fd < 3; fd++)
        if (conf.termios_saved[fd])
            tcsetattr(fd, TCSAFLUSH, &conf.saved_termios[fd]);
}

void redraw_everything()
{
    draw_frame();
    draw_list();
    // Later elements overwrite cells of earlier ones: the title and the clock replace "[x]",
    // the volume bar its placeholder.
    draw_buttons();
    draw_list_title();
    draw_state();
    show_now_playing();
    show_time();
    draw_total_time();
    draw_format();
    draw_effects();
    draw_shuffle();
    draw_repeat();
    draw_volume();
}

} // namespace

void window_init()
{
    draw_message(9, "window_init()");
    save_terminal_settings();
    // Names show as characters when the user's locale is UTF-8; curses reads it as it starts.
    setlocale(LC_CTYPE, "");
    initscr();
    conf.terminal_out = stdout;
    window_setup();
}

void window_setup()
{
    start_color();
    init_colors();
    cbreak();
    noecho();
    curs_set(0);
    leaveok(stdscr, TRUE);
    keypad(stdscr, TRUE);
    // A terminal writes a key's sequence at once; waiting the default second for its rest makes
    // Escape slow and takes a key typed within that second for Alt with the key. A user who set
    // ESCDELAY, for a slow link, keeps it.
    if (getenv("ESCDELAY") == nullptr)
        set_escdelay(escape_delay_ms);
    learn_terminal_keys();
    // A remote control's screen is small; checking the keyboard during every refresh costs two
    // system calls per update and saves nothing.
    typeahead(-1);
    conf.lines = LINES;
    conf.cols = COLS;
    conf.glyphs = choose_glyphs(conf.lineart);
    window_resize();
    dlog(8, "window_init: %dx%d", COLS, LINES);
    mousemask(mouse_events, nullptr);
    mouseinterval(0);
    signal_state &signals = conf.signals;
    signals.terminal_reset_length =
        terminal_reset_text(signals.terminal_reset, sizeof signals.terminal_reset);
    set_event_hooks({window_resize, window_restore});
    install_signal_handlers();
}

void window_resize()
{
    if (!screen_ready())
        return;
    // Leaving and re-entering curses mode makes it take up the terminal's new size.
    endwin();
    wrefresh(stdscr);
    // Leaving curses mode also left keypad and mouse reporting, and a stop bracketed paste; a key
    // typed before the next read would otherwise arrive in the wrong form.
    keypad(stdscr, TRUE);
    mousemask(mouse_events, nullptr);
    set_bracketed_paste(true);
    dlog(8, "window_resize: L:%d, C:%d", LINES, COLS);
    conf.lines = LINES;
    conf.cols = COLS;
    conf.lw = COLS - 4;
    conf.lh = LINES - 5;
    wclear(stdscr);
    redraw_everything();
    show_screen();
}

void window_restore()
{
    if (screen_ready()) {
        set_bracketed_paste(false);
        wbkgd(stdscr, style_attrs(style_end));
        wclear(stdscr);
        wrefresh(stdscr);
        endwin();
    }
    restore_terminal_settings();
    free_list();
}

void draw_frame()
{
    if (!screen_ready())
        return;
    const glyph_set &g = conf.glyphs;
    int lines = conf.lines;
    int cols = conf.cols;
    wattrset(stdscr, A_NORMAL);
    wbkgd(stdscr, style_attrs(style_screen));
    draw_hline(0, 1, g.hline, cols - 2);
    draw_hline(lines - 4, 1, g.hline, cols - 2);
    draw_vline(1, 0, g.vline, lines - 5);
    draw_vline(1, cols - 1, g.vline, lines - 5);
    put_char(0, 0, g.ulcorner);
    put_char(0, cols - 1, g.urcorner);
    put_char(lines - 4, 0, g.llcorner);
    put_char(lines - 1, 0, g.llcorner);
    put_char(lines - 4, cols - 1, g.lrcorner);
    put_char(lines - 1, cols - 1, g.lrcorner);
    draw_hline(lines - 1, 1, g.hline, cols - 2);

    for (field label : {field::time_label, field::flags_label}) {
        screen_field f = field_at(label, lines, cols);
        put_text(f.y, f.x, f.label, f.width);
    }
    for (field row : {field::message_row, field::status_row}) {
        screen_field f = field_at(row, lines, cols);
        paint_span(f.y, f.x, f.width, f.style);
    }
}

void init_colors()
{
    for (const color_row &row : color_table) {
        init_pair((short)row.pair, row.foreground, row.background);
        conf.attr[row.pair] = (unsigned)row.attr;
    }
}

void draw_message(int level, const char *text)
{
    if (level > conf.debug)
        return;
    if (text[0] != '\0')
        dlog(level, "%s", text);
    paint_message_line(text);
}

static void store_message(const char *text)
{
    if (text != conf.message)
        zt_strncpy(conf.message, text, sizeof conf.message - 1);
}

void set_message(const char *text)
{
    store_message(text);
    draw_message(0, conf.message);
}

void show_message(const char *text)
{
    store_message(text);
    paint_message_line(conf.message);
}
