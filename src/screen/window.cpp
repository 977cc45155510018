#include "screen/window.h"
// stand-in until the screen is built
void window_init() {}
void window_setup() {}
void window_resize() {}
void resize_if_pending() {}
void window_restore() {}
void draw_frame() {}
void init_colors() {}
void draw_message(int, const char *) {}
void set_message(const char *) {}
