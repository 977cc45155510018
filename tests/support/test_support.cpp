#include "test_support.h"

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/log.h"
#include "base/text.h"
#include "list/entry_list.h"
#include "screen/window.h"

// ctest may start a test with descriptor 0 closed; a file opened then would take its number
// and be replaced by the test terminal's input.
[[gnu::constructor]] static void open_standard_descriptors()
{
    for (int fd = 0; fd < 3; fd++)
        if (fcntl(fd, F_GETFD) < 0)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
}

static char private_dir[256];
static pid_t private_dir_owner;

// Forked children that exit must not remove the directory of the process that made it.
static void remove_private_dir()
{
    if (getpid() != private_dir_owner)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(private_dir, ignored);
}

const char *test_tmp_dir()
{
    if (private_dir[0] == '\0') {
        snprintf(private_dir, sizeof private_dir, "/tmp/vesk-test-XXXXXX");
        if (mkdtemp(private_dir) == nullptr)
            abort();
        private_dir_owner = getpid();
        atexit(remove_private_dir);
    }
    return private_dir;
}

void start_log(int level)
{
    conf.debug = level;
    dlog_init();
}

std::string log_text()
{
    return file_text(dlog_path());
}

bool log_has(const std::string &needle)
{
    return log_text().find(needle) != std::string::npos;
}

void reset_conf()
{
    free_list();
    if (conf.link.sock > 0)  // a fresh record holds 0, which is the terminal, not a socket
        close(conf.link.sock);
    if (conf.log.file != nullptr)
        fclose(conf.log.file);
    if (conf.signals.wake_ready) {
        close(conf.signals.wake[0]);
        close(conf.signals.wake[1]);
    }
    memset(&conf, 0, sizeof conf);
    conf.link.sock = -1;
    conf.lines = 24;
    conf.cols = 80;
    conf.lw = 76;
    conf.lh = 19;
    zt_strncpy(conf.tmp_dir, test_tmp_dir(), sizeof conf.tmp_dir - 1);
}

static SCREEN *test_screen;
static int key_pipe[2] = {-1, -1};
static FILE *screen_out;

void open_test_screen(int rows, int cols)
{
    if (pipe(key_pipe) != 0 || dup2(key_pipe[0], 0) < 0)
        abort();
    screen_out = fopen("/dev/null", "w");
    test_screen = newterm("xterm", screen_out, stdin);
    if (test_screen == nullptr)
        abort();
    set_term(test_screen);
    // Keys come whole as from an eight-bit terminal; on a pipe curses would keep seven bits.
    meta(stdscr, TRUE);
    conf.terminal_out = screen_out;
    resizeterm(rows, cols);
    window_setup();
    flushinp();  // resizeterm queues a KEY_RESIZE that no test typed
}

void resize_test_screen(int rows, int cols)
{
    resizeterm(rows, cols);
    window_resize();
}

void close_test_screen()
{
    if (test_screen == nullptr)
        return;
    endwin();
    delscreen(test_screen);
    test_screen = nullptr;
    conf.terminal_out = nullptr;
    fclose(screen_out);
    close(key_pipe[1]);
    key_pipe[1] = -1;
}

void feed_keys(const std::string &bytes)
{
    if (write(key_pipe[1], bytes.data(), bytes.size()) != (ssize_t)bytes.size())
        abort();
}

std::string screen_row(int y, int from, int to)
{
    if (to < 0)
        to = COLS - 1;
    std::string row;
    for (int x = from; x <= to; x++) {
        cchar_t cell;
        wchar_t chars[CCHARW_MAX + 1] = {};
        attr_t attrs;
        short pair;
        if (mvwin_wch(stdscr, y, x, &cell) == ERR ||
            getcchar(&cell, chars, &attrs, &pair, nullptr) == ERR)
            continue;
        // A line-drawing character reads as its ASCII code, a plain one as its bytes in the locale.
        for (int i = 0; chars[i] != 0; i++) {
            char bytes[MB_LEN_MAX];
            mbstate_t state{};
            size_t length = wcrtomb(bytes, chars[i], &state);
            row.append(bytes, length == (size_t)-1 ? 0 : length);
        }
        // Both cells of a wide character hold it.
        if (wcwidth(chars[0]) == 2)
            x++;
    }
    return row;
}

int cell_pair(int y, int x)
{
    return (int)PAIR_NUMBER(mvwinch(stdscr, y, x));
}

attr_t cell_attrs(int y, int x)
{
    return (attr_t)(mvwinch(stdscr, y, x) & (A_ATTRIBUTES & ~A_COLOR));
}

test_peer start_peer()
{
    test_peer peer;
    peer.listen_fd = listen_on_loopback(0, 4, peer.port);
    if (peer.listen_fd < 0)
        abort();
    return peer;
}

static bool wait_readable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) == 1;
}

bool accept_peer(test_peer &peer, int timeout_ms)
{
    if (!wait_readable(peer.listen_fd, timeout_ms))
        return false;
    peer.conn_fd = accept(peer.listen_fd, nullptr, nullptr);
    return peer.conn_fd >= 0;
}

std::string read_chunk(test_peer &peer, int timeout_ms)
{
    if (peer.conn_fd < 0 || !wait_readable(peer.conn_fd, timeout_ms))
        return "";
    char buf[4096];
    ssize_t n = recv(peer.conn_fd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, (size_t)n) : "";
}

std::string read_all(test_peer &peer, int timeout_ms)
{
    std::string all;
    for (std::string chunk; !(chunk = read_chunk(peer, timeout_ms)).empty();)
        all += chunk;
    return all;
}

void send_to_client(test_peer &peer, const std::string &bytes)
{
    if (send(peer.conn_fd, bytes.data(), bytes.size(), 0) != (ssize_t)bytes.size())
        abort();
}

void stop_peer(test_peer &peer)
{
    if (peer.conn_fd >= 0)
        close(peer.conn_fd);
    if (peer.listen_fd >= 0)
        close(peer.listen_fd);
    peer = test_peer{};
}

void end_child_now(int status, void *)
{
    fflush(stdout);
    _exit(status);
}

child_result run_in_child(const std::function<void()> &fn)
{
    int out[2];
    if (pipe(out) != 0)
        return {};
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        on_exit(end_child_now, nullptr);
        fn();
        end_child_now(99, nullptr);
    }
    close(out[1]);
    child_result result;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        result.output.append(buf, (size_t)n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}
