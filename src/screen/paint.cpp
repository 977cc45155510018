#include "screen/paint.h"

#include "base/text.h"
#include "conf.h"

// The most bytes put_text writes: a list row's text.
constexpr int put_text_capacity = 1024;

bool screen_ready()
{
    return stdscr != nullptr;
}

static bool move_to(int y, int x)
{
    return screen_ready() && wmove(stdscr, y, x) != ERR;
}

// Cells from column x to the end of the row, so that no write wraps into the next row.
static int room_from(int x)
{
    return getmaxx(stdscr) - x;
}

int put_text(int y, int x, const char *text, int n)
{
    if (n <= 0 || !move_to(y, x))
        return 0;
    int room = room_from(x);
    int columns = n < room ? n : room;
    char shown[put_text_capacity];
    text_fit fit = printable_fit(shown, sizeof shown, text, columns);
    waddnstr(stdscr, shown, (int)fit.bytes);
    return fit.columns;
}

void put_char(int y, int x, chtype ch)
{
    if (move_to(y, x))
        waddch(stdscr, ch);
}

void paint_span_as(int y, int x, int n, int pair, attr_t attr)
{
    if (n <= 0 || !move_to(y, x))
        return;
    int room = room_from(x);
    wchgat(stdscr, n < room ? n : room, attr, (short)pair, nullptr);
}

void paint_span(int y, int x, int n, int style)
{
    paint_span_as(y, x, n, style, conf.attr[style]);
}

chtype style_attrs(int style)
{
    return COLOR_PAIR(style) | conf.attr[style];
}

void put_styled_char(int y, int x, chtype ch, int style)
{
    put_char(y, x, ch | style_attrs(style));
}

void blank_cell(int y, int x, int style)
{
    put_styled_char(y, x, ' ', style);
}

void draw_hline(int y, int x, chtype ch, int n)
{
    if (n > 0 && move_to(y, x))
        whline(stdscr, ch, n);
}

void draw_vline(int y, int x, chtype ch, int n)
{
    if (n > 0 && move_to(y, x))
        wvline(stdscr, ch, n);
}

void show_screen()
{
    if (screen_ready())
        wrefresh(stdscr);
}
