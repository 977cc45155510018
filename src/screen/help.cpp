#include "screen/help.h"
// stand-in until the help and info screens are built
void draw_help() {}
void draw_info() {}
