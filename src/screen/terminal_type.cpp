// Apart from the rest of the screen code: the terminal description's header defines macros named
// like fields of the global record.
#include "screen/terminal_type.h"

#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <term.h>

bool terminal_type_usable()
{
    const char *type = getenv("TERM");
    if (type == nullptr)
        type = "";
    int error = 0;
    if (setupterm(nullptr, 1, &error) != OK) {
        fprintf(stderr, "vesk-remote-ncurses: unknown terminal type \"%s\"\n", type);
        return false;
    }
    const char *addressing = tigetstr("cup");
    bool usable = addressing != nullptr && addressing != (char *)-1;
    del_curterm(cur_term);
    if (!usable)
        fprintf(stderr, "vesk-remote-ncurses: the terminal type \"%s\" cannot position the cursor\n",
                type);
    return usable;
}
