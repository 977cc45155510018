#pragma once

// What the message line says once the core has closed the stream.
constexpr const char *stream_closed_text = "connection closed by the core";

void set_list_title(const char *text);
void draw_list_title();
// Samples the processor load, then draws the time with the clock and the progress bar.
void show_time();
// The time field, then draw_clock and draw_progress.
void draw_time();
// The clock and the last processor load at the right of the top border.
void draw_clock();
void draw_progress();
void draw_total_time();
void draw_state();
void draw_format();
void draw_effects();
void draw_shuffle();
void draw_repeat();
void draw_volume();
// Lays out conf.click_regions for the current size and draws the button labels.
void draw_buttons();
// True when show_now_playing has something to show: the closed stream, or a listed playing
// entry with a tag.
bool has_now_playing();
// What the message line shows when nothing else is to be said: once the core has closed the
// stream, that it has; otherwise the now-playing text, built from the tags in conf.message,
// and the now-playing file written when its text changed. Nothing without a screen, a listed
// playing entry or a tag.
void show_now_playing();
// Rewrites the now-playing file when the tags or the playing entry give it another text than it
// holds, without drawing: other programs follow the clip, the screen keeps its own timing.
void follow_now_playing();
