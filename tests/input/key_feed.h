// Terminal bytes of special keys for the input tests.
#pragma once

#include <curses.h>
#include <string>

// The bytes the test terminal sends for a terminfo key capability ("kcuu1", "kf5", ...).
inline std::string key_bytes(const char *capability)
{
    char *bytes = tigetstr(capability);
    if (bytes == nullptr || bytes == (char *)-1)
        return "";
    return bytes;
}
