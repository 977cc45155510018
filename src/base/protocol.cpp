#include "base/protocol.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fcntl.h>

int read_decimal(const char *text, bool *found)
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

nonblocking_result set_nonblocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    nonblocking_result result{};
    result.flags_read = flags >= 0;
    result.set = fcntl(fd, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK) >= 0;
    return result;
}
