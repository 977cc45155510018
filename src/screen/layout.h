// Screen geometry without curses: cursor and view positions, the scroll-bar thumb, row styles,
// the click regions, the fields of the message and status rows, where the list title goes, and
// bars. The draw functions paint what these compute.
#pragma once

#include <cstddef>

#include "conf.h"
#include "screen/style.h"

// Codes of the click regions that carry no action (the others carry action_code of theirs): an
// unused entry, and the bars and the list, which act on where they are clicked.
constexpr int region_unused = 0;
constexpr int region_seek_bar = -776;
constexpr int region_list = -777;
constexpr int region_scroll_bar = -778;
constexpr int region_volume_bar = -779;

struct list_view {
    int pos;
    int top;
};

// Clamps showpos into the list (-1 when empty) and moves top only when the cursor would be out
// of view: then the cursor is centred, the view kept within the list and top kept at 0 or more.
list_view scroll_view_for(int showpos, int top, int lh, int dmt);
// Screen row of the scroll-bar thumb for position p: rows 3..lh-2 for a list, 0 when empty.
int thumb_row_for(int p, int lh, int dmt);
// Style of the row of an entry of the given type at position p.
int row_style(int type, int p, int pos, int cur);

// Places in click_regions of the bars the panel draws into.
constexpr int seek_region = 2;
constexpr int volume_region = 5;

// Lays out the 28 clickable rectangles for a screen of lines x cols.
void build_click_regions(click_region (&regions)[click_region_count], int lines, int cols);
// Label of region i drawn at its first row (top) or its last row (bottom); nullptr when none.
const char *region_label(int i, bool bottom);
// The first region in table order that holds a code and contains (x, y); nullptr when none.
const click_region *region_at(const click_region (&regions)[click_region_count], int x, int y);

// The fields of the top border, the message row and the status row.
enum class field : int {
    clock,
    cpu_load,
    state,          // the play-state symbol
    message,        // the message line's text
    time,
    total_time,
    format,
    effects,
    shuffle,
    repeat,
    volume,
    time_label,     // the labels of the status row, drawn with the frame
    flags_label,
    message_row,    // the message and status rows as the frame paints them
    status_row,
};

// Where a field lies on a screen of lines x cols, and how it is painted.
struct screen_field {
    int y;
    int x;
    int width;          // columns painted, or the most written
    int style;
    const char *label;  // the text of a label field; nullptr for the others
};
screen_field field_at(field which, int lines, int cols);

// Where a list title that takes length columns shows on the top border of a screen cols wide.
struct title_span {
    int start;   // first column of the shown title
    int width;   // columns it takes ("..." included), never negative
    int skip;    // columns left out at its start (at most the length); 0 when it fits
    bool cut;    // shown as "..." and the title's tail
};
title_span title_span_for(int length, int cols);

// A bar of width cells for a percentage: "[", a "#" for every cell value exceeds, "-" for the
// rest, "]". Needs width + 3 bytes; nothing but the terminator when width < 1.
void bar_text(char *buf, size_t size, int width, int value);
// Cells of the progress bar in the seek region, 0 when there is none.
int progress_width(const click_region &seek);
// Whole percent of cur in dur, truncated toward zero; 0 when dur is not positive.
int progress_percent(float cur, float dur);
// v truncated toward zero, held inside the int range (NaN gives 0).
int whole_seconds(double v);
