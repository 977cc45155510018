#include "input/mouse.h"
// stand-in until the mouse is built
int ccm() { return 0; }
int hit_test(int, int) { return 0; }
void to_promi(int *result, int, int, int) { *result = 0; }
int hold_wait() { return -1; }
