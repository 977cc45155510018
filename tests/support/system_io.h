// What the unit tests and the end-to-end tests both take from the system: loopback listeners and
// the text of whole files.
#pragma once

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// 127.0.0.1 at port (0: bind picks a free one).
inline sockaddr_in loopback_address(int port = 0)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons((uint16_t)port);
    return addr;
}

// A TCP socket listening on a free loopback port, with type_flags (SOCK_NONBLOCK, ...) and a queue
// of backlog connections; its descriptor, and its port in port. -1 on failure.
inline int listen_on_loopback(int type_flags, int backlog, int &port)
{
    int fd = socket(AF_INET, SOCK_STREAM | type_flags, 0);
    sockaddr_in addr = loopback_address();
    socklen_t length = sizeof addr;
    if (fd < 0 || bind(fd, (sockaddr *)&addr, sizeof addr) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, (sockaddr *)&addr, &length) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// A port on which nobody listens.
inline int closed_port()
{
    int port = 0;
    int fd = listen_on_loopback(0, 1, port);
    if (fd >= 0)
        close(fd);
    return port;
}

// The whole content of a file; "" when there is none.
inline std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
