#include "link/conn.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/log.h"
#include "base/protocol.h"
#include "base/text.h"
#include "conf.h"
#include "event/events.h"
#include "link/messages.h"
#include "list/entry_list.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"

namespace {

constexpr int say_cut = 258;
constexpr int say_error_limit = 255;
constexpr int greeting_size = 23;
constexpr long long connect_wait_us = 5000500;   // 5 s and 500 µs

// 67.215.65.132: the address a public resolver hands out for names that do not exist, in
// place of an error. Connecting there would only time out, so it counts as a failed look-up.
constexpr uint32_t nxdomain_redirect = 0x43d74184;

// Keeps the reason of a failed attempt so that the user learns it, not only the log.
void note_failure(const char *reason)
{
    zt_strncpy(conf.link.failure, reason, sizeof conf.link.failure - 1);
}

// The wait for the core may last seconds with the keys blocked: say what is being tried.
void report_connecting()
{
    char text[512];
    snprintf(text, sizeof text, "connecting to %s:%d", conf.remote_host, conf.remote_port);
    char shown[sizeof text];
    show_message(printable_name(shown, sizeof shown, text));
}

void report_failed_connection()
{
    char text[512];
    snprintf(text, sizeof text, "cannot reach %s:%d: %s", conf.remote_host, conf.remote_port,
             conf.link.failure);
    char shown[sizeof text];
    set_message(printable_name(shown, sizeof shown, text));
}

// A core that ends or breaks the stream without COREQUIT would otherwise leave its last state
// on the screen as if it still played; nothing plays without it. The socket stays open, so a
// later command still fails visibly, but is not watched: it would be readable, at its end, on
// every pass for ever. Every redraw from now on says so again.
void end_stream()
{
    conf.link.stream_ended = 1;
    conf.player.state = state_stopped;
    draw_state();
    show_now_playing();
}

void make_nonblocking(int fd)
{
    nonblocking_result result = set_nonblocking(fd);
    if (!result.flags_read)
        dlog(8, "%s", "mkconn: cant get flags");
    if (!result.set)
        dlog(8, "%s", "mkconn: cant set nonblock");
}

long long microseconds_since(const timespec &start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)(now.tv_sec - start.tv_sec) * 1000000 + (now.tv_nsec - start.tv_nsec) / 1000;
}

// Waits on fd for reading and writing, at most the connection time-out in all. A signal (a
// resize, say) is no reason to give up the attempt, unless the client is about to end.
int wait_for_connect(int fd)
{
    // A time-out reports what connect() left, as a wait without signals would.
    int connect_errno = errno;
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        long long left = std::max(connect_wait_us - microseconds_since(start), 0LL);
        timeval limit = {(time_t)(left / 1000000), (suseconds_t)(left % 1000000)};
        input_wait wait = wait_for({false, fd, fd}, &limit);
        if (wait.rc > 0 || (wait.rc < 0 && errno != EINTR))
            return wait.rc;
        if (exit_requested())
            return -1;
        if (left == 0) {
            errno = connect_errno;
            return 0;
        }
    }
}

// Waits for the non-blocking connect of fd; true when it succeeded.
bool wait_connected(int fd, const char *host, int port)
{
    if (fd >= FD_SETSIZE) {
        dlog(8, "mkconn:connect %s:%d error: %s", host, port, strerror(EMFILE));
        note_failure(strerror(EMFILE));
        return false;
    }
    int rc = wait_for_connect(fd);
    if (rc == 0) {
        dlog(8, "mkconn:connect timed out %s:%d error: %s", host, port, strerror(errno));
        note_failure(strerror(ETIMEDOUT));
        return false;
    }
    if (rc < 0) {
        dlog(8, "mkconn:connect %s:%d error: %s", host, port, strerror(errno));
        note_failure(strerror(errno));
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        error = errno;
    if (error != 0) {
        dlog(8, "mkconn:connect wait failed %s:%d error: %s", host, port, strerror(error));
        note_failure(strerror(error));
        return false;
    }
    return true;
}

// Where the rest of a line too long for the buffer ends in buf: the byte after its newline,
// or total when it goes on past this read.
int end_of_skipped_line(link_state &link, const char *buf, int total)
{
    const char *newline = (const char *)memchr(buf, '\n', (size_t)total);
    if (newline == nullptr)
        return total;
    link.skipping_line = 0;
    return (int)(newline - buf) + 1;
}

} // namespace

void split_received(link_state &link, int count, line_sink sink)
{
    int carried = std::clamp(link.carry_len, 0, rx_fill_limit);
    count = std::clamp(count, 0, rx_fill_limit - carried);
    char *buf = link.rxbuf;
    memcpy(buf, link.carry, (size_t)carried);
    int total = carried + count;
    buf[total] = '\0';
    // Its tail would otherwise pass for a line of its own, and it may say anything.
    int offset = link.skipping_line ? end_of_skipped_line(link, buf, total) : 0;
    while (offset < total) {
        char *newline = (char *)memchr(buf + offset, '\n', (size_t)(total - offset));
        if (newline == nullptr)
            break;
        *newline = '\0';
        int end = (int)(newline - buf);
        sink(buf + offset, end - offset);
        offset = end + 1;
    }
    link.carry_len = total - offset;
    memcpy(link.carry, buf + offset, (size_t)link.carry_len + 1);
}

void connectto()
{
    dlog(2, "connectto: [%s:%d]", conf.remote_host, conf.remote_port);
    if (conf.remote_port <= 0 || conf.remote_port > 65535)
        conf.remote_port = default_port;
    if (conf.remote_host[0] == '\0')
        return;
    report_connecting();
    conf.link.sock = mkconn(conf.remote_host, conf.remote_port);
    if (conf.link.sock < 0)
        report_failed_connection();
    else
        show_message("");
    char greeting[greeting_size];
    snprintf(greeting, sizeof greeting, "EHLO %d", conf.fullpath);
    say(greeting);
}

int mkconn(const char *host, int port)
{
    hostent *he = gethostbyname(host);
    if (he == nullptr || he->h_addrtype != AF_INET || he->h_length != 4 ||
        he->h_addr_list[0] == nullptr) {
        dlog(8, "mkconn:ghbn failed %s:%d", host, port);
        note_failure(hstrerror(h_errno));
        return -1;
    }
    const unsigned char *a = (const unsigned char *)he->h_addr_list[0];
    uint32_t address = (uint32_t)a[0] << 24 | (uint32_t)a[1] << 16 | (uint32_t)a[2] << 8 | a[3];
    if (address == nxdomain_redirect) {
        note_failure(hstrerror(HOST_NOT_FOUND));
        return -1;
    }
    dlog(8, "mkconn:ghbn %d.%d.%d.%d:%d 0x%08x", a[0], a[1], a[2], a[3], port, address);

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    memcpy(&peer.sin_addr, a, 4);
    peer.sin_port = htons((uint16_t)port);

    int fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    int socket_error = errno;
    make_nonblocking(fd);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (fd < 0) {
        dlog(8, "mkconn:setsockopt error: %s", strerror(socket_error));
        note_failure(strerror(socket_error));
        return -1;
    }
    connect(fd, (const sockaddr *)&peer, sizeof peer);
    if (!wait_connected(fd, host, port)) {
        // Never used again: do not keep it open for the rest of the run.
        close(fd);
        return -1;
    }
    return fd;
}

void say(const char *text)
{
    link_state &link = conf.link;
    zt_strncpy(link.say_buf, text, say_cut);
    dlog(2, "say: %s", link.say_buf);
    if (link.disconnected || link.sock < 0 || link.say_buf[0] == '\0')
        return;
    size_t length = strlen(link.say_buf);
    // A closed peer gives an error here, never a signal that would end the process.
    if (send(link.sock, link.say_buf, length, MSG_NOSIGNAL) >= 0)
        return;
    int error = errno;
    char report[512];
    snprintf(report, sizeof report, "say: error: (%d) %s [%s]", error, strerror(error),
             link.say_buf);
    // The report keeps to the 255-byte limit of its buffer: a long command is cut with it.
    zt_strncpy(link.say_buf, report, say_error_limit - 1);
    dlog(0, "%s", link.say_buf);
    set_list_title(link.say_buf);
}

int handle_data(int fd)
{
    if (fd <= 0)
        return 0;
    link_state &link = conf.link;
    link.carry_len = std::clamp(link.carry_len, 0, rx_fill_limit);
    size_t room = (size_t)(rx_fill_limit - link.carry_len);
    ssize_t got = recv(fd, link.rxbuf + link.carry_len, room, 0);
    if (got <= 0) {
        dlog(2, "handle_data: count<=0");
        // Nothing to read after all is no loss: keep the unfinished line for the next read.
        bool transient = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        if (transient)
            return 0;
        // A full buffer asks for 0 bytes and gets 0: a line longer than the buffer, whose rest
        // goes too. Any other 0 or error is the end of the stream.
        if (room == 0)
            link.skipping_line = 1;
        else if (!link.stream_ended)
            end_stream();
        link.carry[0] = '\0';
        link.carry_len = 0;
        return 0;
    }
    split_received(link, (int)got, parse_line);
    return 1;
}

int watched_socket()
{
    return conf.link.stream_ended ? -1 : conf.link.sock;
}

void disconnect()
{
    link_state &link = conf.link;
    link.disconnected = 1;
    zt_strncpy(conf.player.core_version, "disconnected.", sizeof conf.player.core_version - 1);
    if (link.sock >= 0) {
        shutdown(link.sock, SHUT_RDWR);
        close(link.sock);
    }
    link.sock = -1;
    set_list_title("");
    set_message("disconnected.");
    conf.player.s_cur = -1.0f;
    conf.player.s_dur = -1.0f;
    show_time();
    draw_total_time();
    conf.list.cur = 0;
    conf.list.top = 0;
    conf.list.pos = 0;
    free_list();
    // draw_list ends with a refresh of the screen.
    draw_list();
}
