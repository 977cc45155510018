// Apart from the rest of the screen code: the terminal description's header defines macros named
// like fields of the global record.
#include "screen/terminal_type.h"

#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <term.h>

namespace {

constexpr const char *reset_capabilities[] = {"rmcup", "cnorm", "rmkx", "sgr0"};
constexpr const char *mouse_reports_off = "\033[?1006;1000l";

bool present(const char *capability)
{
    return capability != nullptr && capability != (char *)-1;
}

void append_text(char *buf, int size, int &n, const char *text)
{
    while (*text != '\0' && n < size - 1)
        buf[n++] = *text++;
    buf[n] = '\0';
}

} // namespace

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
    bool usable = present(addressing);
    del_curterm(cur_term);
    if (!usable)
        fprintf(stderr, "vesk-remote-ncurses: the terminal type \"%s\" cannot position the cursor\n",
                type);
    return usable;
}

int terminal_reset_text(char *buf, int size)
{
    int n = 0;
    buf[0] = '\0';
    for (const char *name : reset_capabilities) {
        const char *text = tigetstr(name);
        if (present(text))
            append_text(buf, size, n, text);
    }
    if (present(tigetstr("kmous")))
        append_text(buf, size, n, mouse_reports_off);
    return n;
}
