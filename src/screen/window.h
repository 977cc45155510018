#pragma once

// Starts curses, makes the colours and glyphs, draws the whole screen, enables the mouse.
void window_init();
// Everything of window_init after curses has started (tests start curses with newterm).
void window_setup();
// Takes up the terminal size, recomputes the layout and redraws everything.
void window_resize();
// Ends curses and puts the saved terminal settings back.
void window_restore();
// The static frame and the status labels.
void draw_frame();
// Makes the twelve colour pairs and their attributes.
void init_colors();
// Writes text on the message line when level is within the debug level (and logs it).
void draw_message(int level, const char *text);
// Stores text as the message and shows it.
void set_message(const char *text);
// Stores text as the message and shows it without a log line: for what the client itself says
// about the connection and the list, which the log does not record.
void show_message(const char *text);
