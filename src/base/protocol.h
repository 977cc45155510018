// What the client and the core agree on about their connection, shared with the simulated core:
// the default port, how numbers are read, the play states, the effect switches, how a byte of a
// text from the other side is shown, and the non-blocking socket both ends use. Includes
// nothing of the client, so the simulator links it alone.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>

// scripts/run reads the number from this line.
constexpr int default_port = 44322;

// Reads decimal text by atoi rules (blanks, sign, digits; junk reads as 0), out-of-range values
// saturated to the int range instead of undefined; the configuration file and the command line
// read their numbers the same way. found tells whether any digit was read. Inline: every list
// line of a long listing goes through it.
inline int read_decimal(const char *text, bool *found = nullptr)
{
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    const char *digits = p;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        if (value <= (int64_t)INT_MAX + 1)
            value = value * 10 + (*p - '0');
    if (found != nullptr)
        *found = p != digits;
    return (int)std::clamp<int64_t>(negative ? -value : value, INT_MIN, INT_MAX);
}

// A byte as a text from the other side shows it, one column each: control bytes, DEL (which
// curses would show as two columns) and 8-bit bytes as "?".
constexpr char printable_char(char c)
{
    unsigned char byte = (unsigned char)c;
    return byte < 0x20 || byte >= 0x7f ? '?' : c;
}

// Play-state numbers of the STATE line, shown as "[]", "|>" and "||".
enum play_state : int { state_stopped = 2, state_playing = 3, state_paused = 4 };

// Effect toggles, one bit each of the CONF EFFECTS mask.
enum effect_mask : int {
    effect_flanger = 0x01,
    effect_earwax = 0x02,
    effect_contrast = 0x04,
    effect_reverb = 0x08,
    effect_overdrive = 0x10,
    effect_karaoke = 0x20,
};

struct effect_switch {
    effect_mask bit;
    const char *command;  // the line that toggles it
    char letter;          // shown on the status row while it is on
};

// Lowest bit first: several set bits go out in this order.
constexpr effect_switch effect_switches[] = {
    {effect_flanger, "TOGGLE FLANGER", 'F'},
    {effect_earwax, "TOGGLE EARWAX", 'W'},
    {effect_contrast, "TOGGLE CONTRAST", 'C'},
    {effect_reverb, "TOGGLE REVERB", 'R'},
    {effect_overdrive, "TOGGLE OVERDRIVE", 'O'},
    {effect_karaoke, "TOGGLE KARAOKE", 'K'},
};
static_assert(std::size(effect_switches) == 6);

// Which steps of set_nonblocking succeeded.
struct nonblocking_result {
    bool flags_read;
    bool set;
};
// Adds O_NONBLOCK to the flags of fd (to no flags when they cannot be read).
nonblocking_result set_nonblocking(int fd);
