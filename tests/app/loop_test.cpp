#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/loop.h"
#include "base/log.h"
#include "screen/signals.h"
#include "test_support.h"

struct child_result {
    std::string output;
    int status;
};

// Runs body in a child process with its standard output captured.
template <typename Body> static child_result run_in_child(Body body)
{
    int out[2];
    if (pipe(out) != 0)
        abort();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        body();
        _exit(0);
    }
    close(out[1]);
    std::string output;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        output.append(buf, (size_t)n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {output, status};
}

// The handler only leaves a note; the exit path runs where the client acts on it.
TEST(Sighandler, InterruptAndTerminationEndWith255WhereTheClientActs)
{
    for (int sig : {SIGINT, SIGTERM}) {
        child_result r = run_in_child([sig] {
            reset_conf();
            install_signal_handlers();
            raise(sig);
            printf("noted;");
            act_on_signals();
            printf("not ended");
        });
        ASSERT_TRUE(WIFEXITED(r.status)) << sig;
        EXPECT_EQ(WEXITSTATUS(r.status), 255) << sig;
        EXPECT_EQ(r.output, sig == SIGINT ? "noted;\nCaught signal: 2 (SIGINT)\n"
                                          : "noted;\nCaught signal: 15 (SIGTERM)\n");
    }
}

TEST(Sighandler, CrashPutsTheTerminalBackAndEndsAtOnce)
{
    child_result r = run_in_child([] {
        reset_conf();
        snprintf(conf.signals.terminal_reset, sizeof conf.signals.terminal_reset, "<reset>");
        conf.signals.terminal_reset_length = 7;
        install_signal_handlers();
        raise(SIGSEGV);
        printf("not ended");
    });
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 255);
    EXPECT_EQ(r.output, "<reset>\nCaught signal: 11 (SIGSEGV)\n");
}

TEST(CheckInput, KeyAndSocketInOnePassAreTracedKeyFirst)
{
    reset_conf();
    conf.debug = 10;
    dlog_init();
    open_test_screen(24, 80);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    conf.link.sock = pair[0];
    ASSERT_EQ(write(pair[1], "VOL=5\n", 6), 6);
    feed_keys("x");
    check_input();
    EXPECT_EQ(conf.frame, 1);
    std::string log = file_text(dlog_path());
    EXPECT_NE(log.find("check_input: rc==2, frame:1 [STDIN][S][..DONE]"), std::string::npos) << log;
    EXPECT_NE(screen_row(21).find("rc==2, fd_setsize=1024"), std::string::npos) << screen_row(21);
    close_test_screen();
    close(pair[1]);
}

TEST(CheckInput, BelowLevelTenNothingIsTraced)
{
    reset_conf();
    conf.debug = 9;
    dlog_init();
    open_test_screen(24, 80);
    feed_keys("x");
    check_input();
    EXPECT_EQ(file_text(dlog_path()).find("check_input:"), std::string::npos);
    close_test_screen();
}

// The real program in a pseudo-terminal, as a user starts it.
struct client_run {
    pid_t pid = -1;
    int master = -1;
};

static client_run start_client(const std::vector<std::string> &args, const char *term = "xterm")
{
    const char *binary = VESK_CLIENT_BINARY;
    client_run run;
    winsize size{24, 80, 0, 0};
    run.pid = forkpty(&run.master, nullptr, nullptr, &size);
    if (run.pid == 0) {
        setenv("HOME", test_tmp_dir(), 1);
        setenv("TERM", term, 1);
        std::vector<char *> argv{(char *)binary};
        for (const std::string &a : args)
            argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        execv(binary, argv.data());
        _exit(127);
    }
    return run;
}

// Reads the terminal output (into output, when given) until the child ends or timeout_ms pass;
// returns the exit status, -1 when the child had to be killed.
static int wait_client(client_run &run, int timeout_ms, std::string *output = nullptr)
{
    char buf[4096];
    int status = -1;
    bool ended = false;
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        ended = waitpid(run.pid, &status, WNOHANG) == run.pid;
        pollfd p{run.master, POLLIN, 0};
        // After the end, what the child wrote last is still read; then the terminal closes.
        bool readable = poll(&p, 1, ended ? 0 : 10) == 1;
        ssize_t n = readable ? read(run.master, buf, sizeof buf) : 0;
        if (n > 0 && output != nullptr)
            output->append(buf, (size_t)n);
        if (readable && n <= 0 && !ended)  // the terminal closed: the client is ending
            ended = waitpid(run.pid, &status, 0) == run.pid;
        if (ended && n <= 0)
            break;
    }
    if (!ended) {
        kill(run.pid, SIGKILL);
        waitpid(run.pid, &status, 0);
        status = -1;
    }
    close(run.master);
    return status;
}

TEST(Client, GreetsTheCoreAndQuitsOnQ)
{
    test_peer peer = start_peer();
    client_run run = start_client({"-H", "127.0.0.1", "-P", std::to_string(peer.port)});
    ASSERT_TRUE(accept_peer(peer, 5000));
    EXPECT_EQ(read_chunk(peer, 1000), "EHLO 2");
    ASSERT_EQ(write(run.master, "q", 1), 1);
    int status = wait_client(run, 5000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    stop_peer(peer);
}

TEST(Client, RunsOnWithoutACoreAndQuitsCleanly)
{
    client_run run = start_client({"-H", "127.0.0.1", "-P", std::to_string(closed_port())});
    usleep(300000);
    ASSERT_EQ(write(run.master, "q", 1), 1);
    int status = wait_client(run, 5000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Client, RefusesATerminalTypeThatCannotPositionTheCursorBeforeConnecting)
{
    test_peer peer = start_peer();
    for (const char *term : {"dumb", "no-such-terminal"}) {
        std::string output;
        client_run run = start_client({"-H", "127.0.0.1", "-P", std::to_string(peer.port)}, term);
        int status = wait_client(run, 5000, &output);
        ASSERT_TRUE(WIFEXITED(status)) << term;
        EXPECT_EQ(WEXITSTATUS(status), 1) << term;
        EXPECT_NE(output.find(std::string("\"") + term + "\""), std::string::npos) << output;
        EXPECT_EQ(output.find("\x1b"), std::string::npos) << term << ": drew " << output;
    }
    EXPECT_FALSE(accept_peer(peer, 0));
    stop_peer(peer);
}
