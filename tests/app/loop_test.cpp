#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/loop.h"
#include "base/log.h"
#include "event/events.h"
#include "client_fixtures.h"

// The handler only leaves a note; the exit path runs in the next wait. A hang-up quits as the
// end of terminal input does, and no later wait waits.
TEST(Sighandler, SignalsEndTheClientWhereItWaits)
{
    struct {
        int sig;
        int status;
        const char *output;
    } cases[] = {
        {SIGINT, 255, "noted;\nCaught signal: 2 (SIGINT)\n"},
        {SIGTERM, 255, "noted;\nCaught signal: 15 (SIGTERM)\n"},
        {SIGQUIT, 255, "noted;\nCaught signal: 3\n"},
        {SIGHUP, 99, "noted;quit 1;hung up"},  // 99: the child ran to its end
    };
    for (const auto &c : cases) {
        child_result r = run_in_child([sig = c.sig] {
            reset_conf();
            install_signal_handlers();
            raise(sig);
            printf("noted;");
            timeval none{0, 0};
            wait_for_input(-1, &none);
            printf("quit %d;", conf.quit);
            if (wait_for_input(-1, nullptr).hung_up)
                printf("hung up");
        });
        EXPECT_EQ(r.status, c.status) << c.sig;
        EXPECT_EQ(r.output, c.output);
    }
}

// Among what the terminal's description gives: the switches that end bracketed paste and the
// mouse reports, which would otherwise stay on for the shell.
TEST(Sighandler, CrashPutsTheTerminalBackAndEndsAtOnce)
{
    child_result r = run_in_child([] {
        reset_conf();
        open_test_screen(24, 80);
        raise(SIGSEGV);
        printf("not ended");
    });
    EXPECT_EQ(r.status, 255);
    const std::string report = "\nCaught signal: 11 (SIGSEGV)\n";
    ASSERT_GT(r.output.size(), report.size());
    EXPECT_EQ(r.output.substr(r.output.size() - report.size()), report);
    for (const char *off : {"\033[?1049l", "\033[?2004l", "\033[?1006;1000l"})
        EXPECT_NE(r.output.find(off), std::string::npos) << off + 1;
}

// The loop's wait, traced in the debug log and on a test screen.
class CheckInput : public LogTest {
protected:
    void TearDown() override { close_test_screen(); }
};

TEST_F(CheckInput, KeyAndSocketInOnePassAreTracedKeyFirst)
{
    start_log(10);
    open_test_screen(24, 80);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    conf.link.sock = pair[0];
    ASSERT_EQ(write(pair[1], "VOL=5\n", 6), 6);
    feed_keys("x");
    check_input();
    EXPECT_EQ(conf.frame, 1);
    std::string log = log_text();
    EXPECT_NE(log.find("check_input: rc==2, frame:1 [STDIN][S][..DONE]"), std::string::npos) << log;
    EXPECT_NE(screen_row(21).find("rc==2, fd_setsize=1024"), std::string::npos) << screen_row(21);
    close(pair[1]);
}

TEST_F(CheckInput, BelowLevelTenNothingIsTraced)
{
    start_log(9);
    open_test_screen(24, 80);
    feed_keys("x");
    check_input();
    EXPECT_FALSE(log_has("check_input:"));
}

static int pauses_taken;

static void count_pause()
{
    pauses_taken++;
}

// The pause bounds a loop that spins; a pass that got bytes from the core was not spinning.
TEST_F(CheckInput, PausesOnlyWhenThePassBeforeGotNoBytes)
{
    open_test_screen(24, 80);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    conf.link.sock = pair[0];
    // The wake-up pipe a signal's note writes to: a byte in it interrupts the wait.
    ASSERT_EQ(pipe2(conf.signals.wake, O_NONBLOCK), 0);
    conf.signals.wake_ready = 1;
    conf.loop_pause = count_pause;
    pauses_taken = 0;
    struct {
        const char *pass_before;
        void (*wake)(int peer); // what ends this pass's wait
        int pauses;             // taken so far, this pass's included
    } passes[] = {
        {"none", [](int peer) { ASSERT_EQ(write(peer, "VOL=5\n", 6), 6); }, 0},
        {"a read that got bytes", [](int) { feed_keys("x"); }, 0},
        {"a key-only pass", [](int) { ASSERT_EQ(write(conf.signals.wake[1], "", 1), 1); }, 1},
        {"an interrupted wait", [](int peer) { ASSERT_EQ(write(peer, "VOL=6\n", 6), 6); }, 2},
        {"a read that got bytes", [](int peer) { shutdown(peer, SHUT_WR); }, 2},
        {"a read that got nothing", [](int) { feed_keys("x"); }, 3},
    };
    for (const auto &pass : passes) {
        pass.wake(pair[1]);
        check_input();
        EXPECT_EQ(pauses_taken, pass.pauses) << "after " << pass.pass_before;
    }
    EXPECT_EQ(conf.frame, 6);
    EXPECT_EQ(conf.link.stream_ended, 1);
    close(pair[1]);
}
