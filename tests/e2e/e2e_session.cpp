#include "e2e_session.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using steady = std::chrono::steady_clock;

steady::time_point deadline_after(int ms)
{
    return steady::now() + std::chrono::milliseconds(scaled_ms(ms));
}

int ms_until(steady::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now());
    return left.count() > 0 ? (int)left.count() : 0;
}

void set_nonblocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
}

// Writes all of bytes to fd through put (write, or a send that raises no SIGPIPE), waiting while
// fd is full; false on an error or when the time is up.
bool put_all(int fd, const std::string &bytes, ssize_t (*put)(int, const void *, size_t))
{
    size_t done = 0;
    steady::time_point deadline = deadline_after(5000);
    while (done < bytes.size()) {
        ssize_t n = put(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (ms_until(deadline) == 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 50);
    }
    return true;
}

ssize_t send_without_sigpipe(int fd, const void *bytes, size_t length)
{
    return send(fd, bytes, length, MSG_NOSIGNAL);
}

// Appends what the non-blocking fd holds now to into; false once its other side is closed: end
// of file, or an error such as EIO from a terminal whose other side has gone.
bool read_available(int fd, std::string &into)
{
    char buf[16384];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, (size_t)n);
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

std::vector<char *> c_args(std::vector<std::string> &args)
{
    std::vector<char *> out;
    for (std::string &arg : args)
        out.push_back(arg.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> words_of(const char *text)
{
    std::vector<std::string> words;
    std::istringstream in(text != nullptr ? text : "");
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// Reads the simulator's first line, "listening on <addr>:<port>", from the non-blocking fd.
int read_sim_port(int fd)
{
    std::string line;
    steady::time_point deadline = deadline_after(10000);
    for (bool open = true; open && line.find('\n') == std::string::npos;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ms_until(deadline)) <= 0)
            return -1;
        open = read_available(fd, line);
    }
    size_t end = line.find('\n');
    size_t colon = line.rfind(':', end);
    if (end == std::string::npos || line.rfind("listening on ", 0) != 0 ||
        colon == std::string::npos)
        return -1;
    return atoi(line.c_str() + colon + 1);
}

int remove_entry(const char *path, const struct stat *, int, FTW *)
{
    return remove(path);
}

int run_counter = 0;

// Who an unprivileged client runs as when the test runs as root: nobody.
constexpr uid_t unprivileged_id = 65534;

// In a child: gives up root for good; false when that is not possible.
bool drop_root()
{
    return setgroups(0, nullptr) == 0 && setgid(unprivileged_id) == 0 &&
           setuid(unprivileged_id) == 0;
}

bool runs_as_root()
{
    return geteuid() == 0;
}

// The client's HOME, its .vesk and the configuration file in it, with the given text and mode,
// belong to whoever the client runs as.
void prepare_home(const client_process &client)
{
    std::string dir = client.home + "/.vesk";
    mkdir(dir.c_str(), 0700);
    std::string file = dir + "/vesk-remote-ncurses.conf";
    if (!client.conf_text.empty()) {
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        put_all(fd, client.conf_text, write);
        fchmod(fd, client.conf_mode);
        close(fd);
    }
    if (client.unprivileged && runs_as_root())
        for (const std::string &path : {client.home, dir, file})
            lchown(path.c_str(), unprivileged_id, unprivileged_id);
}

// In a child before exec: a test that crashes or is killed leaves no process behind.
void end_with_parent(int sig, pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, sig);
    if (getppid() != parent)
        _exit(127);
}

// Only waits, holding no descriptor of the test or of the terminal, until a signal ends it.
[[noreturn]] void wait_idle()
{
    close_range(0, ~0U, 0);
    for (;;)
        pause();
}

// In the client's process before exec: gives its process group what a shell gives a job, a member
// whose parent is in the same session but in another group. The system ignores stop signals
// from the terminal for an orphaned group, and the client's group, whose only parent is the test
// in another session, would be one. Both helpers end with the client.
void become_job()
{
    pid_t job = getpid();
    int joined[2];
    if (pipe(joined) != 0)
        return;
    pid_t shell = fork();
    if (shell == 0) {
        end_with_parent(SIGKILL, job);
        setpgid(0, 0);
        pid_t shell_pid = getpid();
        if (fork() == 0) {
            end_with_parent(SIGKILL, shell_pid);
            setpgid(0, job);
            ssize_t ignored = write(joined[1], "j", 1);
            (void)ignored;
            wait_idle();
        }
        wait_idle();
    }
    close(joined[1]);
    char byte;
    if (shell > 0) {
        ssize_t ignored = read(joined[0], &byte, 1);
        (void)ignored;
    }
    close(joined[0]);
}

// The client's environment: the private HOME and USER, its terminal type, and no size from
// variables, so that only the pseudo-terminal's size counts.
void prepare_client_environment(const client_process &client)
{
    if (client.ignore_hangup)
        signal(SIGHUP, SIG_IGN);
    setenv("HOME", client.home.c_str(), 1);
    setenv("USER", client.user.c_str(), 1);
    setenv("LOGNAME", client.user.c_str(), 1);
    setenv("TERM", client.terminal_type.c_str(), 1);
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LINES");
    unsetenv("COLUMNS");
    unsetenv("TMUX");
}

// With its terminal closed, the client can only be watched for its end; true while it runs.
bool wait_without_terminal(client_process &client, int wait_ms)
{
    if (!client.exited && waitpid(client.pid, &client.status, WNOHANG) == client.pid)
        client.exited = true;
    if (!client.exited)
        poll(nullptr, 0, wait_ms);
    return !client.exited;
}

} // namespace

int scaled_ms(int ms)
{
    const char *scale = getenv("VESK_E2E_TIME_SCALE");
    int factor = scale != nullptr ? atoi(scale) : 1;
    return ms * (factor > 1 ? factor : 1);
}

sim_process start_sim(const std::vector<std::string> &options)
{
    sim_process sim;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        sim.error = strerror(errno);
        return sim;
    }
    std::vector<std::string> args{VESK_SIM_BINARY, "--port", "0", "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv = c_args(args);
    pid_t parent = getpid();
    sim.pid = fork();
    if (sim.pid == 0) {
        end_with_parent(SIGTERM, parent);
        dup2(out[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    set_nonblocking(out[0]);
    sim.port = sim.pid > 0 ? read_sim_port(out[0]) : -1;
    close(out[0]);
    if (sim.port <= 0) {
        sim.error = "the simulator did not report its port";
        stop_sim(sim);
    }
    return sim;
}

void stop_sim(sim_process &sim)
{
    if (sim.pid <= 0)
        return;
    kill(sim.pid, SIGTERM);
    steady::time_point deadline = deadline_after(3000);
    int status;
    while (waitpid(sim.pid, &status, WNOHANG) == 0) {
        if (ms_until(deadline) == 0) {
            kill(sim.pid, SIGKILL);
            waitpid(sim.pid, &status, 0);
            break;
        }
        usleep(5000);
    }
    sim.pid = -1;
}

void start_client(client_process &client, int port, int rows, int cols,
                  const std::vector<std::string> &options)
{
    client.pid = -1;
    client.master = -1;
    client.term = vt_screen{};
    client.exited = false;
    client.status = 0;
    client.output.clear();
    char home[] = "/tmp/vesk-e2e-XXXXXX";
    if (mkdtemp(home) == nullptr)
        return;
    client.home = home;
    prepare_home(client);
    client.user = "vesk-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++run_counter);

    std::vector<std::string> args = words_of(getenv("VESK_E2E_CLIENT_WRAPPER"));
    args.insert(args.end(), {VESK_CLIENT_BINARY, "-H", "127.0.0.1", "-P", std::to_string(port)});
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv = c_args(args);

    winsize size{(unsigned short)rows, (unsigned short)cols, 0, 0};
    pid_t parent = getpid();
    client.pid = forkpty(&client.master, nullptr, nullptr, &size);
    if (client.pid == 0) {
        // First: a change of user clears the signal that ends it with its parent.
        if (client.unprivileged && runs_as_root() && !drop_root())
            _exit(127);
        end_with_parent(SIGKILL, parent);
        prepare_client_environment(client);
        if (client.job_control)
            become_job();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (client.pid < 0)
        return;
    fcntl(client.master, F_SETFD, FD_CLOEXEC);
    set_nonblocking(client.master);
    vt_open(client.term, rows, cols, client.master);
}

void stop_client(client_process &client)
{
    if (client.pid > 0 && !client.exited) {
        kill(client.pid, SIGKILL);
        waitpid(client.pid, &client.status, 0);
        client.exited = true;
    }
    if (client.master >= 0)
        close(client.master);
    client.master = -1;
    vt_close(client.term);
    if (!client.home.empty())
        nftw(client.home.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    client.home.clear();
}

bool can_run_unprivileged()
{
    if (!runs_as_root())
        return true;
    pid_t child = fork();
    if (child == 0)
        _exit(drop_root() && access(VESK_CLIENT_BINARY, X_OK) == 0 ? 0 : 1);
    int status = -1;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool pump(client_process &client, int wait_ms)
{
    if (client.master < 0)
        return client.pid > 0 && wait_without_terminal(client, wait_ms);
    pollfd p{client.master, POLLIN, 0};
    bool closed = false;
    if (poll(&p, 1, wait_ms) > 0) {
        std::string output;
        closed = !read_available(client.master, output);
        if (!output.empty())
            vt_feed(client.term, output.data(), output.size());
        if (client.keep_output)
            client.output += output;
    }
    if (!client.exited && waitpid(client.pid, &client.status, WNOHANG) == client.pid)
        client.exited = true;
    if (closed && !client.exited)
        usleep(2000);
    return !(closed && client.exited);
}

bool wait_until(client_process &client, const std::function<bool()> &done, int timeout_ms)
{
    steady::time_point deadline = deadline_after(timeout_ms);
    for (;;) {
        if (done())
            return true;
        if (!pump(client, 10))
            return done();
        if (ms_until(deadline) == 0)
            return done();
    }
}

bool wait_for_text(client_process &client, const std::string &text, int row, int timeout_ms)
{
    return wait_until(
        client,
        [&] {
            for (int r = row < 0 ? 0 : row; r < client.term.rows && (row < 0 || r == row); r++)
                if (vt_row(client.term, r).find(text) != std::string::npos)
                    return true;
            return false;
        },
        timeout_ms);
}

int wait_exit(client_process &client, int timeout_ms)
{
    if (!wait_until(client, [&] { return client.exited; }, timeout_ms))
        return -1;
    // What the client wrote last (its restored terminal, a message) still goes on the screen.
    for (int reads = 0; reads < 100 && pump(client, 10); reads++) {
    }
    return client.status;
}

void type(client_process &client, const std::string &bytes)
{
    put_all(client.master, bytes, write);
}

void press(client_process &client, VTermKey key)
{
    vt_key(client.term, key);
}

void mouse_press(client_process &client, int row, int col, int button)
{
    vt_mouse_button(client.term, row, col, true, button);
}

void mouse_release(client_process &client, int row, int col, int button)
{
    vt_mouse_button(client.term, row, col, false, button);
}

int unread_input(const client_process &client)
{
    const char *name = ptsname(client.master);
    int terminal = name != nullptr ? open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    int count = -1;
    if (terminal >= 0 && ioctl(terminal, FIONREAD, &count) != 0)
        count = -1;
    if (terminal >= 0)
        close(terminal);
    return count;
}

void resize(client_process &client, int rows, int cols)
{
    winsize size{(unsigned short)rows, (unsigned short)cols, 0, 0};
    ioctl(client.master, TIOCSWINSZ, &size);
    vt_resize(client.term, rows, cols);
    kill(client.pid, SIGWINCH);
}

void close_terminal(client_process &client)
{
    if (client.master >= 0)
        close(client.master);
    client.master = -1;
    client.term.input_fd = -1;
}

bool file_exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string conf_file_path(const client_process &client)
{
    return client.home + "/.vesk/vesk-remote-ncurses.conf";
}

script_peer start_script_peer()
{
    script_peer peer;
    peer.listen_fd = listen_on_loopback(SOCK_CLOEXEC | SOCK_NONBLOCK, 4, peer.port);
    return peer;
}

void stop_script_peer(script_peer &peer)
{
    if (peer.conn_fd >= 0)
        close(peer.conn_fd);
    if (peer.listen_fd >= 0)
        close(peer.listen_fd);
    peer.conn_fd = -1;
    peer.listen_fd = -1;
}

void serve_peer(script_peer &peer)
{
    if (peer.conn_fd < 0 && peer.listen_fd >= 0)
        peer.conn_fd = accept4(peer.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (peer.conn_fd >= 0 && !read_available(peer.conn_fd, peer.received)) {
        close(peer.conn_fd);
        peer.conn_fd = -1;
    }
}

bool peer_send(script_peer &peer, const std::string &bytes)
{
    return put_all(peer.conn_fd, bytes, send_without_sigpipe);
}

bool wait_for_command(client_process &client, script_peer &peer, const std::string &text,
                      size_t offset, int timeout_ms)
{
    return wait_until(
        client,
        [&] {
            serve_peer(peer);
            return peer.received.find(text, offset) != std::string::npos;
        },
        timeout_ms);
}
