#include "input/keys.h"
#include <curses.h>
// stand-in key reader until key names and bindings are built: "q" quits
int c_get_key() { return wgetch(stdscr) == 'q' ? -1 : 0; }
int wait_key(int) { return -1; }
