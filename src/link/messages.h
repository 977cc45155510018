#pragma once

// Handles one line from the core (writable, terminated, without its "\n").
void parse_line(char *line, int length);
