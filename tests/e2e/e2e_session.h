// The processes of an end-to-end test: the simulated core on a free port, the real client in a
// pseudo-terminal with its screen in an emulated terminal, and a scripted core for the tests that
// need to send what no real core would. Every wait polls for a condition until a time-out, so a
// fast machine never sleeps and a loaded one gets time.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "system_io.h"
#include "vt_screen.h"

// Time-outs are multiplied by VESK_E2E_TIME_SCALE (default 1), for slow runs such as valgrind.
int scaled_ms(int ms);

struct sim_process {
    pid_t pid = -1;
    int port = 0;
    std::string error; // why it did not start
};

// Starts vesk-core-sim on a free loopback port with extra options; pid -1 and error on failure.
sim_process start_sim(const std::vector<std::string> &options = {});
void stop_sim(sim_process &sim);

struct client_process {
    client_process() = default;
    client_process(const client_process &) = delete;
    client_process &operator=(const client_process &) = delete;

    // Set before start_client: the terminal type the client is told, whether it starts with
    // hang-ups ignored (as under nohup), whether it runs as a shell's job, which a stop signal
    // stops (Ctrl-Z), whether output keeps every byte the client writes, a configuration file
    // to start with (none when empty) and its mode, and whether the client runs as an
    // unprivileged user (uid 65534 when the test runs as root, who may read any file).
    std::string terminal_type = "xterm";
    bool ignore_hangup = false;
    bool job_control = false;
    bool keep_output = false;
    std::string conf_text;
    mode_t conf_mode = 0600;
    bool unprivileged = false;

    pid_t pid = -1;
    int master = -1;
    vt_screen term;
    std::string home;   // private HOME of this run
    std::string user;   // USER of this run: no real now-playing file is touched
    bool exited = false;
    int status = 0;     // wait status once exited
    std::string output; // what the client wrote, as the terminal received it
};

// Starts the client in a rows x cols pseudo-terminal, connecting to port on 127.0.0.1, with
// extra options after -H and -P. HOME is a fresh temporary directory holding an empty .vesk
// directory. When VESK_E2E_CLIENT_WRAPPER is set, its words run the client (e.g. valgrind).
// The emulated terminal keeps the address of client.term: the record must stay where it is.
void start_client(client_process &client, int port, int rows, int cols,
                  const std::vector<std::string> &options = {});
// Ends the client if it still runs (SIGKILL), closes the terminal and removes its HOME.
void stop_client(client_process &client);
// Whether a client with unprivileged set can run here: a root test must be able to become uid
// 65534, and that user to run the client.
bool can_run_unprivileged();

// Reads what the client wrote within wait_ms (0: only what is there) into the terminal; notes
// the exit of the client. False once the client is gone and its output drained. Once the
// terminal is closed, it only waits for the exit.
bool pump(client_process &client, int wait_ms);
// Pumps until done() holds; false when timeout_ms pass first or the client ends without it.
bool wait_until(client_process &client, const std::function<bool()> &done, int timeout_ms);
// Waits until text appears on a row (-1: any row).
bool wait_for_text(client_process &client, const std::string &text, int row = -1,
                   int timeout_ms = 5000);
// Waits for the client to end; its wait status, or -1 when it did not end in time.
int wait_exit(client_process &client, int timeout_ms = 5000);

// Bytes typed on the keyboard (plain characters, control characters).
void type(client_process &client, const std::string &bytes);
void press(client_process &client, VTermKey key);
// A mouse button (1 left, 2 middle, 3 right) at a cell. A person's click leaves time between
// press and release; a test waits for the press to take effect before it releases.
void mouse_press(client_process &client, int row, int col, int button = 1);
void mouse_release(client_process &client, int row, int col, int button = 1);
// Resizes the terminal and the emulated screen, and tells the client.
void resize(client_process &client, int rows, int cols);
// Bytes typed that the client has not read yet; -1 when that cannot be told.
int unread_input(const client_process &client);
// Closes the terminal's other side, as when the terminal window goes away.
void close_terminal(client_process &client);

bool file_exists(const std::string &path);
std::string conf_file_path(const client_process &client);

// A scripted core: listens on a free loopback port; accept and receive happen while the tests
// wait, so the client's terminal is read all the while.
struct script_peer {
    int listen_fd = -1;
    int port = 0;
    int conn_fd = -1;
    std::string received; // everything the client sent
};

script_peer start_script_peer();
void stop_script_peer(script_peer &peer);
// Accepts the client's connection and reads what arrived; call from wait_until conditions.
void serve_peer(script_peer &peer);
// Sends bytes to the connected client; false when they could not all be sent.
bool peer_send(script_peer &peer, const std::string &bytes);
// Waits (pumping the client's terminal) until the peer has received text, counted from offset.
bool wait_for_command(client_process &client, script_peer &peer, const std::string &text,
                      size_t offset = 0, int timeout_ms = 5000);
