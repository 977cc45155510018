// vesk-core-sim: a simulated vesk-core on TCP. One poll() loop serves every client; the state
// machine in sim_core.cpp decides what each command does and what each client is told.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/protocol.h"
#include "sim_core.h"
#include "sim_options.h"
#include "sim_outbox.h"

namespace {

volatile sig_atomic_t stop_requested = 0;
// The signal mask inside the wait: SIGINT and SIGTERM are blocked everywhere else, so a stop asked
// for between the check of the flag and the wait still ends the wait at once.
sigset_t wait_mask;

// The time clients get to take their COREQUIT before the core ends anyway.
constexpr int goodbye_ms = 2000;
// How long a lingering core asked to stop serves on after its last client left: a client that
// found it listening a moment ago may be about to connect.
constexpr int linger_grace_ms = 2000;

void request_stop(int)
{
    stop_requested = 1;
}

void install_stop_handlers()
{
    // Started in the background by a script, it keeps ignoring the terminal's interrupt key.
    if (signal(SIGINT, request_stop) == SIG_IGN)
        signal(SIGINT, SIG_IGN);
    signal(SIGTERM, request_stop);
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &wait_mask);
}

struct sim_server {
    int listen_fd;
    int fds[sim_max_clients];
    bool quiet;
    bool linger;
    int tick_ms;
    bool ticking;
    int64_t next_tick;
    int64_t last_left; // when the last client left; the start while none came
};

// The core is large (two lists of a million entries); it lives outside the stack.
sim_core core;
sim_server server;

void log_line(const char *format, ...) __attribute__((format(printf, 1, 2)));

void log_line(const char *format, ...)
{
    if (server.quiet)
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fprintf(stderr, "vesk-core-sim: %s\n", line);
}

int64_t now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// The first IPv4 address of host, or false.
bool resolve(const char *host, int port, sockaddr_in &addr)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    memcpy(&addr, found->ai_addr, sizeof addr);
    addr.sin_port = htons((uint16_t)port);
    freeaddrinfo(found);
    return true;
}

// Listens on host:port and prints the address taken; -1 after a message on failure.
int open_listener(const char *host, int port)
{
    sockaddr_in addr{};
    if (!resolve(host, port, addr)) {
        fprintf(stderr, "vesk-core-sim: cannot resolve %s\n", host);
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    socklen_t len = sizeof addr;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(fd, (sockaddr *)&addr, sizeof addr) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, (sockaddr *)&addr, &len) != 0) {
        fprintf(stderr, "vesk-core-sim: cannot listen on %s:%d: %s\n", host, port,
                strerror(errno));
        if (fd >= 0)
            close(fd);
        return -1;
    }
    set_nonblocking(fd);
    char ip[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &addr.sin_addr, ip, sizeof ip);
    printf("listening on %s:%d\n", ip, ntohs(addr.sin_port));
    fflush(stdout);
    return fd;
}

bool has_clients()
{
    for (int fd : server.fds)
        if (fd >= 0)
            return true;
    return false;
}

void drop_client(int slot, const char *why)
{
    log_line("client %d: closed (%s)", slot, why);
    close(server.fds[slot]);
    server.fds[slot] = -1;
    sim_client_close(core, slot);
    if (!has_clients())
        server.last_left = now_ms();
}

void accept_clients()
{
    for (;;) {
        int fd = accept4(server.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int slot = sim_client_open(core);
        if (slot < 0) {
            log_line("refused a client: all %d slots in use", sim_max_clients);
            close(fd);
            continue;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        server.fds[slot] = fd;
        log_line("client %d: connected", slot);
    }
}

// The command as a log shows it: printable, cut short.
void log_command(int slot, const char *data, size_t len, bool known)
{
    char text[81];
    size_t n = len < sizeof text - 1 ? len : sizeof text - 1;
    for (size_t i = 0; i < n; i++)
        text[i] = printable_char(data[i]);
    text[n] = '\0';
    log_line("client %d: %s%s", slot, known ? "" : "unknown: ", text);
}

void read_client(int slot)
{
    char chunk[1024];
    ssize_t n = recv(server.fds[slot], chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        drop_client(slot, n == 0 ? "end of stream" : strerror(errno));
        return;
    }
    bool known = sim_command(core, slot, chunk, (size_t)n);
    log_command(slot, chunk, (size_t)n, known);
}

// Sends what the socket takes now; the rest waits for the next POLLOUT.
void write_client(int slot)
{
    sim_client &client = core.clients[slot];
    while (sim_has_output(client)) {
        sim_fill(core, client);
        if (client.out_len == 0)
            return;
        ssize_t n = send(server.fds[slot], client.out, client.out_len, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            drop_client(slot, strerror(errno));
            return;
        }
        sim_consume(client, (size_t)n);
    }
}

// Sends pending output and closes the clients that are done or cannot keep up.
void settle_clients()
{
    for (int slot = 0; slot < sim_max_clients; slot++) {
        if (server.fds[slot] < 0)
            continue;
        sim_client &client = core.clients[slot];
        if (client.overflow) {
            drop_client(slot, "reads too slowly");
            continue;
        }
        write_client(slot);
        if (server.fds[slot] >= 0 && client.closing && !sim_has_output(client))
            drop_client(slot, "quit");
    }
}

// Runs the simulated seconds that are due; keeps no timer while nothing plays.
void run_clock()
{
    if (!sim_is_playing(core)) {
        server.ticking = false;
        return;
    }
    int64_t now = now_ms();
    if (!server.ticking) {
        server.ticking = true;
        server.next_tick = now + server.tick_ms;
        return;
    }
    if (now - server.next_tick > 5 * (int64_t)server.tick_ms)
        server.next_tick = now;
    while (server.ticking && now >= server.next_tick) {
        sim_tick(core);
        server.next_tick += server.tick_ms;
        server.ticking = sim_is_playing(core);
    }
}

// Time left of a lingering core's grace while it is asked to stop and has no client; -1 when
// no grace runs.
int64_t grace_left()
{
    if (!stop_requested || !server.linger || has_clients())
        return -1;
    return std::max<int64_t>(server.last_left + linger_grace_ms - now_ms(), 0);
}

// Nothing while nothing plays and no grace runs; otherwise the time until the next simulated
// second or the end of the grace.
int poll_timeout()
{
    int64_t wait = grace_left();
    if (server.ticking) {
        int64_t tick = std::max<int64_t>(server.next_tick - now_ms(), 0);
        wait = wait < 0 ? tick : std::min(wait, tick);
    }
    return (int)wait;
}

// poll() that a stop signal interrupts; timeout_ms -1 waits without a time-out.
int wait_for_events(pollfd *fds, int n, int timeout_ms)
{
    timespec timeout = {timeout_ms / 1000, (long)(timeout_ms % 1000) * 1000000};
    return ppoll(fds, (nfds_t)n, timeout_ms < 0 ? nullptr : &timeout, &wait_mask);
}

// A lingering core asked to stop still serves, and takes new clients, while anyone is connected
// and for a grace after the last one left: the script that started it must not end the session
// of another user of it, nor leave one that has just checked for it with nothing to connect to.
bool keeps_serving()
{
    return !stop_requested || (server.linger && (has_clients() || grace_left() > 0));
}

void serve()
{
    pollfd fds[1 + sim_max_clients];
    int slots[1 + sim_max_clients];
    while (keeps_serving()) {
        int n = 0;
        fds[n++] = {server.listen_fd, POLLIN, 0};
        for (int slot = 0; slot < sim_max_clients; slot++) {
            if (server.fds[slot] < 0)
                continue;
            short events = core.clients[slot].closing ? 0 : POLLIN;
            if (sim_has_output(core.clients[slot]))
                events |= POLLOUT;
            slots[n] = slot;
            fds[n++] = {server.fds[slot], events, 0};
        }
        if (wait_for_events(fds, n, poll_timeout()) < 0 && errno != EINTR)
            break;
        // Clients first, so that slots freed by clients that left can take new ones at once.
        for (int i = 1; i < n; i++) {
            int slot = slots[i];
            if (server.fds[slot] < 0 || core.clients[slot].closing)
                continue;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                read_client(slot);
        }
        if (fds[0].revents & POLLIN)
            accept_clients();
        run_clock();
        settle_clients();
    }
}

// Tells every client that the core stops and sends what they still have queued, for at most
// goodbye_ms: a client that reads nothing must not keep the core from ending.
void say_goodbye()
{
    sim_goodbye(core);
    int64_t deadline = now_ms() + goodbye_ms;
    for (;;) {
        settle_clients();
        pollfd fds[sim_max_clients];
        int n = 0;
        for (int slot = 0; slot < sim_max_clients; slot++)
            if (server.fds[slot] >= 0)
                fds[n++] = {server.fds[slot], POLLOUT, 0};
        int64_t left = deadline - now_ms();
        if (n == 0 || left <= 0)
            return;
        poll(fds, (nfds_t)n, (int)left);
    }
}

} // namespace

int main(int argc, char **argv)
{
    sim_options opts;
    char error[256];
    if (!sim_parse_options(argc, argv, opts, error, sizeof error)) {
        fprintf(stderr, "vesk-core-sim: %s\n", error);
        sim_print_usage(argv[0]);
        return 2;
    }
    if (opts.help) {
        sim_print_usage(argv[0]);
        return 0;
    }
    signal(SIGPIPE, SIG_IGN);
    install_stop_handlers();
    sim_core_init(core, opts.big);
    server.quiet = opts.quiet;
    server.linger = opts.linger;
    server.tick_ms = opts.tick_ms;
    server.last_left = now_ms();
    for (int &fd : server.fds)
        fd = -1;
    server.listen_fd = open_listener(opts.host, opts.port);
    if (server.listen_fd < 0)
        return 1;
    serve();
    say_goodbye();
    for (int slot = 0; slot < sim_max_clients; slot++)
        if (server.fds[slot] >= 0)
            close(server.fds[slot]);
    close(server.listen_fd);
    return 0;
}
