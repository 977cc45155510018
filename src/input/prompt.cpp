#include "input/prompt.h"
// stand-in until the prompt is built
void open_prompt() {}
