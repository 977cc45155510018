// Apart from the rest of the screen code: the terminal description's header defines macros named
// like fields of the global record, so it comes after the record's.
#include "screen/terminal_type.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>

#include "base/text.h"
#include "conf.h"
#include <term.h>

namespace {

constexpr const char *reset_capabilities[] = {"rmcup", "cnorm", "rmkx", "sgr0", "BD"};
// How curses switches mouse reports where the description has no XM of its own.
constexpr const char *default_mouse_switch = "\033[?1000%?%p1%{1}%=%th%el%;";

struct alternate_key {
    const char *bytes;
    int code;
};

constexpr alternate_key alternate_keys[] = {
    {"\033OM", KEY_ENTER},
    {"\033[1~", KEY_HOME}, {"\033[7~", KEY_HOME}, {"\033[H", KEY_HOME}, {"\033OH", KEY_HOME},
    {"\033[4~", KEY_END},  {"\033[8~", KEY_END},  {"\033[F", KEY_END},  {"\033OF", KEY_END},
};

bool present(const char *capability)
{
    return capability != nullptr && capability != (char *)-1;
}

// A string capability of the terminal description, or the empty text.
const char *capability_text(const char *name)
{
    const char *text = tigetstr(name);
    return present(text) ? text : "";
}

void copy_capability(char *buf, size_t size, const char *name)
{
    const char *text = capability_text(name);
    // A switch cut short would send something else: none at all then.
    if (snprintf(buf, size, "%s", text) >= (int)size)
        buf[0] = '\0';
}

void define_paste_marker(const char *name, int code)
{
    const char *marker = capability_text(name);
    if (marker[0] != '\0')
        define_key(marker, code);
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

void learn_terminal_keys()
{
    // Without both markers, pasted text could never be told apart: no switch then.
    if (capability_text("PS")[0] == '\0' || capability_text("PE")[0] == '\0') {
        conf.paste_on[0] = conf.paste_off[0] = '\0';
        conf.paste_end_length = 0;
    } else {
        copy_capability(conf.paste_on, sizeof conf.paste_on, "BE");
        copy_capability(conf.paste_off, sizeof conf.paste_off, "BD");
        conf.paste_end_length = (int)strlen(capability_text("PE"));
        define_paste_marker("PS", key_paste_start);
        define_paste_marker("PE", key_paste_end);
    }
    for (const alternate_key &key : alternate_keys)
        if (key_defined(key.bytes) == 0)
            define_key(key.bytes, key.code);
}

void set_bracketed_paste(bool on)
{
    const char *text = on ? conf.paste_on : conf.paste_off;
    if (conf.terminal_out == nullptr || text[0] == '\0')
        return;
    fputs(text, conf.terminal_out);
    fflush(conf.terminal_out);
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
    if (present(tigetstr("kmous"))) {
        const char *mouse_switch = capability_text("XM");
        append_text(buf, size, n, tiparm(mouse_switch[0] != '\0' ? mouse_switch : default_mouse_switch, 0));
    }
    return n;
}
