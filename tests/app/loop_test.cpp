#include <csignal>
#include <gtest/gtest.h>
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
