// The writes every screen element is made of. Each one moves first and skips its write when the
// position lies off the screen, and none writes or paints a zero or negative span, so drawing is
// safe on any terminal size and before curses has started.
#pragma once

#include <curses.h>

// True once curses has started.
bool screen_ready();
// The printable form of text (printable_fit) at (y, x) in at most n columns, cut at the end of
// the row; returns the columns written. A wide character that would cross the cut is left out:
// the caller's blank shows in its column.
int put_text(int y, int x, const char *text, int n);
void put_char(int y, int x, chtype ch);
// Changes n cells from (y, x) to the style's colour pair and attribute, keeping the characters.
void paint_span(int y, int x, int n, int style);
// The same with a colour pair and an attribute given apart.
void paint_span_as(int y, int x, int n, int pair, attr_t attr);
// A character in the style's colour pair and attribute.
void put_styled_char(int y, int x, chtype ch, int style);
// A space in the style's colour pair and attribute.
void blank_cell(int y, int x, int style);
// The style's colour pair and attribute as one curses character word.
chtype style_attrs(int style);
void draw_hline(int y, int x, chtype ch, int n);
void draw_vline(int y, int x, chtype ch, int n);
// Pushes what was drawn to the terminal.
void show_screen();
