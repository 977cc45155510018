#include "screen/listview.h"

#include "base/log.h"
#include "conf.h"
#include "screen/layout.h"
#include "screen/paint.h"
#include "screen/style.h"

namespace {

constexpr int first_list_row = 1;
constexpr int text_column = 2;

// The entry at position p, or nullptr where the index has none (also while a list loads).
const list_entry *entry_at(int p)
{
    const entry_list &list = conf.list;
    if (p < 0 || p >= list.dmt || p >= list_capacity)
        return nullptr;
    return list.index[p];
}

// The display text for the path mode.
const char *display_text(const list_entry &entry)
{
    int mode = conf.fullpath == 1 || conf.fullpath == 2 ? conf.fullpath : 0;
    return entry.text[mode] != nullptr ? entry.text[mode] : "";
}

// Repaints the row of position p when it is on screen, keeping its characters.
void repaint_row(int p)
{
    const entry_list &list = conf.list;
    const list_entry *entry = entry_at(p);
    int row = first_list_row + p - list.top;
    if (entry == nullptr || row < first_list_row || row > conf.lh)
        return;
    paint_span(row, text_column, conf.lw, row_style(entry->type, p, list.pos, list.cur));
}

void draw_row(int i)
{
    const entry_list &list = conf.list;
    int p = list.top + i;
    if (p >= list.dmt)
        return;
    const list_entry *entry = entry_at(p);
    if (entry == nullptr) {
        dlog(0, "dl: el==NULL, top:%d, i:%d, dmt:%d, fmt:%d", list.top, i, list.dmt, list.fmt);
        return;
    }
    int row = first_list_row + i;
    // put_text shows only the printable form of the name.
    put_text(row, text_column, display_text(*entry), conf.lw);
    paint_span(row, text_column, conf.lw, row_style(entry->type, p, list.pos, list.cur));
}

void move_thumb(int row)
{
    int column = conf.cols - 2;
    put_char(conf.view.thumb_row, column, ' ');
    put_char(row, column, conf.glyphs.thumb);
    conf.view.thumb_row = row;
}

} // namespace

void scrollto(int showpos, int redraw)
{
    entry_list &list = conf.list;
    list_view_state &view = conf.view;
    dlog(8, "scrollto: redraw:%d, top:%d(%d), showpos:%d, pos:%d(%d), lh:%d, dmt:%d, fmt:%d",
         redraw, list.top, view.last_top, showpos, list.pos, view.last_pos, conf.lh, list.dmt,
         list.fmt);
    if (list.top < 0)
        redraw = 1;
    list_view moved = scroll_view_for(showpos, list.top, conf.lh, list.dmt);
    list.pos = moved.pos;
    list.top = moved.top;
    move_thumb(scrollbar_row(list.pos));
    if (list.top != view.last_top || redraw != 0)
        draw_list();
    else
        draw_list_highlight(list.pos);
    dlog(8, "scrollto3: showpos: %d, top: %d, lh: %d, pos: %d", list.pos, list.top, conf.lh,
         list.pos);
}

void draw_list()
{
    entry_list &list = conf.list;
    dlog(8, "draw_list: top:%d, pos:%d, cur:%d", list.top, list.pos, list.cur);
    if (!screen_ready())
        return;
    if (list.top < 0) {
        scrollto(list.pos, 1);
        return;
    }
    conf.view.last_top = list.top;
    conf.view.last_pos = list.pos;
    clear_list_area();
    for (int i = 0; i < conf.lh; i++)
        draw_row(i);
    show_screen();
}

void draw_list_highlight(int newpos)
{
    list_view_state &view = conf.view;
    const entry_list &list = conf.list;
    dlog(8, "draw_list_highlight: %d (%d, %d,%d)", newpos, view.last_pos, list.top,
         view.last_top);
    if (!screen_ready())
        return;
    repaint_row(newpos);
    repaint_row(view.last_pos);
    view.last_top = list.top;
    view.last_pos = list.pos;
    show_screen();
}

void clear_list_area()
{
    if (!screen_ready())
        return;
    for (int row = first_list_row; row <= conf.lh; row++) {
        draw_hline(row, text_column, ' ', conf.lw);
        paint_span_as(row, text_column, conf.lw, style_text, conf.attr[style_file]);
    }
}

int scrollbar_row(int p)
{
    return thumb_row_for(p, conf.lh, conf.list.dmt);
}
