#include "input/dispatch.h"
#include "conf.h"
// stand-in until dispatch is built: only quit
void check_key(int key_code) { if (key_code == -1) conf.quit = 1; }
void cursor_up() {}
void cursor_down() {}
void page_up() {}
void page_down() {}
void cursor_top() {}
void cursor_bottom() {}
