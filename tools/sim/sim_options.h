// The simulator's command line.
#pragma once

#include <cstddef>

struct sim_options {
    char host[256];
    int port; // 0: any free port (the one taken is printed)
    int big;  // clips in the big directory; 0: no big directory
    int tick_ms;
    bool quiet;
    bool linger; // a stop signal ends it only 2 s after its last client has left
    bool help;
};

// Fills opts from the arguments; false with a message in error when they are not understood.
bool sim_parse_options(int argc, const char *const *argv, sim_options &opts, char *error,
                       size_t cap);
// Prints the usage text of the program named name.
void sim_print_usage(const char *name);
