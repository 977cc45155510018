#include "screen/window.h"

#include <cstring>
#include <curses.h>
#include <iterator>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "list/entry_list.h"
#include "screen/listview.h"
#include "screen/paint.h"
#include "screen/panel.h"
#include "screen/signals.h"

namespace {

struct color_row {
    short foreground;
    short background;
    attr_t attr;
};

// Row n is colour pair n + 1.
constexpr color_row color_table[] = {
    {COLOR_WHITE, COLOR_BLACK, A_NORMAL},   // background left behind at the end
    {COLOR_RED, COLOR_BLACK, A_NORMAL},     // screen background: frame, bars, buttons
    {COLOR_WHITE, COLOR_BLACK, A_NORMAL},   // message and status rows
    {COLOR_WHITE, COLOR_BLACK, A_NORMAL},   // message text, status fields, blank list
    {COLOR_WHITE, COLOR_BLACK, A_NORMAL},   // file
    {COLOR_WHITE, COLOR_BLACK, A_REVERSE},  // file under the cursor
    {COLOR_WHITE, COLOR_BLUE, A_NORMAL},    // playing file
    {COLOR_WHITE, COLOR_BLUE, A_REVERSE},   // playing file under the cursor
    {COLOR_YELLOW, COLOR_BLACK, A_NORMAL},  // directory
    {COLOR_YELLOW, COLOR_BLACK, A_REVERSE}, // directory under the cursor
    {COLOR_WHITE, COLOR_BLACK, A_NORMAL},
    {COLOR_GREEN, COLOR_BLACK, A_NORMAL},
};
static_assert(std::size(color_table) == 12);

constexpr int style_end = 1;
constexpr int style_screen = 2;
constexpr int style_status = 3;
constexpr int style_text = 4;

constexpr mmask_t mouse_events = BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON2_PRESSED |
                                 BUTTON3_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED |
                                 REPORT_MOUSE_POSITION;

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
    initscr();
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
    note_terminal_reset();
    install_terminal_handlers();
}

void window_resize()
{
    if (!screen_ready())
        return;
    // Leaving and re-entering curses mode makes it take up the terminal's new size.
    endwin();
    wrefresh(stdscr);
    // Leaving curses mode also left keypad and mouse reporting; a key typed before the next read
    // would otherwise arrive in the wrong form.
    keypad(stdscr, TRUE);
    mousemask(mouse_events, nullptr);
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
        wbkgd(stdscr, COLOR_PAIR(style_end) | conf.attr[style_end]);
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
    wbkgd(stdscr, COLOR_PAIR(style_screen) | conf.attr[style_screen]);
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

    constexpr char time_label[] = "___:__ [___:__] ";
    constexpr char flags_label[] = "Eff [_______]  Shf [_]  Rep [_]  ___%";
    put_text(lines - 2, 3, time_label, (int)strlen(time_label));
    put_text(lines - 2, cols - 39, flags_label, (int)strlen(flags_label));
    paint_span(lines - 3, 3, cols - 5, style_status);
    paint_span(lines - 2, 3, cols - 5, style_status);
}

void init_colors()
{
    for (int n = 1; n <= (int)std::size(color_table); n++) {
        const color_row &row = color_table[n - 1];
        init_pair((short)n, row.foreground, row.background);
        conf.attr[n] = (unsigned)row.attr;
    }
}

// The one painter of the message line; it writes nothing to the log.
static void paint_message(const char *text)
{
    if (!screen_ready())
        return;
    int row = conf.lines - 3;
    int width = conf.cols - 7;
    int length = (int)strlen(text);
    put_text(row, 5, text, width);
    for (int k = length; k <= conf.cols - 8; k++)
        blank_cell(row, 5 + k, style_text);
    paint_span(row, 5, width, style_text);
    show_screen();
}

void draw_message(int level, const char *text)
{
    if (level > conf.debug)
        return;
    if (text[0] != '\0')
        dlog(level, "%s", text);
    paint_message(text);
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
    paint_message(conf.message);
}
