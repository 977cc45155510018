#include "base/protocol.h"

#include <fcntl.h>

nonblocking_result set_nonblocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    nonblocking_result result{};
    result.flags_read = flags >= 0;
    result.set = fcntl(fd, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK) >= 0;
    return result;
}
