#include "screen/panel.h"
// stand-in until the status panel is built
void set_list_title(const char *) {}
void draw_list_title() {}
void draw_time() {}
void draw_clock() {}
void draw_progress() {}
void draw_total_time() {}
void draw_state() {}
void draw_format() {}
void draw_effects() {}
void draw_shuffle() {}
void draw_repeat() {}
void draw_volume() {}
void draw_buttons() {}
void draw_now_playing() {}
