#pragma once

// Reads one line on the message row and sends it with "LOAD2 %s".
void open_prompt();
