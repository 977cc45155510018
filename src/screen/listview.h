#pragma once

// Puts the cursor on showpos (clamped), scrolls when needed and redraws the list or two rows.
void scrollto(int showpos, int redraw);
// Redraws every row of the list area.
void draw_list();
// Repaints the rows of newpos and of the previous cursor position.
void draw_list_highlight(int newpos);
// Blanks the list area.
void clear_list_area();
// Screen row of the scroll-bar thumb for list position p.
int scrollbar_row(int p);
