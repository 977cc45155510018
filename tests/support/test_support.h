// Shared fixtures of the tests: a clean global record, a private temporary directory, a forked
// child with its output, a real curses screen on /dev/null with keys fed through a pipe, and a
// loopback peer.
#pragma once

#include <curses.h>
#include <functional>
#include <string>

#include "conf.h"
#include "system_io.h"

// Frees the list and zeroes the whole record; sock -1, 80x24 layout fields, tmp_dir private.
void reset_conf();
// A directory private to this test process, created on first use and removed at exit.
const char *test_tmp_dir();

// Opens the debug log (in the private directory) at the given level.
void start_log(int level);
// The debug log's text so far, and whether it holds needle.
std::string log_text();
bool log_has(const std::string &needle);

// What a forked child printed on its standard output, and how it ended.
struct child_result {
    int status = -1;  // exit status, or -1 when the child did not exit normally
    std::string output;
};
// Runs fn in a forked child and collects its output and exit status; a child whose fn returns
// exits with 99.
child_result run_in_child(const std::function<void()> &fn);
// Ends a forked child at once with status (an on_exit handler), before the clean-up it inherited
// from the test process can run.
void end_child_now(int status, void *);

// Starts curses on /dev/null with rows x cols and runs the client's screen set-up on it.
// Keys written with feed_keys reach both wgetch and select() on descriptor 0.
void open_test_screen(int rows, int cols);
// Changes the size of the test screen and runs the client's resize.
void resize_test_screen(int rows, int cols);
void close_test_screen();
// Writes bytes to the terminal input (descriptor 0 of the test process).
void feed_keys(const std::string &bytes);
// The characters of one screen row, columns from..to inclusive (to -1: the last column), in the
// locale's encoding; a wide character once.
std::string screen_row(int y, int from = 0, int to = -1);
// The colour pair and attributes of one cell.
int cell_pair(int y, int x);
attr_t cell_attrs(int y, int x);

// A listening loopback server on an ephemeral port.
struct test_peer {
    int listen_fd = -1;
    int port = 0;
    int conn_fd = -1;
};
test_peer start_peer();
// Accepts one client within timeout_ms; false when none came.
bool accept_peer(test_peer &peer, int timeout_ms = 2000);
// Reads what one send() of the client delivered (one chunk) within timeout_ms; "" on time-out.
std::string read_chunk(test_peer &peer, int timeout_ms = 1000);
// Everything the client sent until timeout_ms pass without data.
std::string read_all(test_peer &peer, int timeout_ms = 200);
void send_to_client(test_peer &peer, const std::string &bytes);
void stop_peer(test_peer &peer);
