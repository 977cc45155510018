// What the message line says about the connection itself: the address while the attempt waits,
// and a core that went away without a word.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "session_fixture.h"

namespace {

// Opens connections to port until the listener's queue of unaccepted connections is full, so
// that the next attempt waits unanswered; the connections stay open in fds.
void fill_accept_queue(int port, std::vector<int> &fds)
{
    sockaddr_in addr = loopback_address(port);
    for (;;) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
        connect(fd, (const sockaddr *)&addr, sizeof addr);
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, scaled_ms(500)) != 1)
            return;
    }
}

class CoreLink : public ScriptedCore<> {
protected:
    std::vector<int> queued;

    void TearDown() override
    {
        ScriptedCore::TearDown();
        for (int fd : queued)
            close(fd);
    }
};

TEST_F(CoreLink, TheAddressShowsWhileTheAttemptWaits)
{
    peer = start_script_peer();
    ASSERT_GT(peer.port, 0);
    ASSERT_NO_FATAL_FAILURE(fill_accept_queue(peer.port, queued));
    start_client(client, peer.port, 24, 80);
    ASSERT_GT(client.pid, 0);
    std::string trying = "connecting to 127.0.0.1:" + std::to_string(peer.port);
    EXPECT_TRUE(wait_until(client, [&] { return message_text(screen()) == trying; }, 4000));
}

// How often the process went to sleep so far: each wake-up ends in one.
long sleeps(pid_t pid)
{
    std::string status = file_text("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("\nvoluntary_ctxt_switches:");
    return at == std::string::npos ? -1 : strtol(status.c_str() + at + 26, nullptr, 10);
}

TEST_F(CoreLink, ACoreThatClosesWithoutAWordIsToldCostsNothingAndLaterCommandsFailVisibly)
{
    ASSERT_NO_FATAL_FAILURE(start_and_greet(24, 80));
    ASSERT_TRUE(peer_send(peer, "LIST_START=1\nNAM0]=4,song\nLIST_END\nCUR=0\nTITLE=Song\n"
                                "STATE=3\nTIME=2\n"));
    ASSERT_TRUE(wait_until(client, [&] { return state_symbol(screen()) == "|>"; }, 5000));
    type(client, "\x0c");
    ASSERT_TRUE(wait_until(client, [&] { return message_text(screen()) == "Song"; }, 5000));
    close(peer.conn_fd);
    peer.conn_fd = -1;
    const std::string closed = "connection closed by the core";
    EXPECT_TRUE(wait_until(client, [&] { return message_text(screen()) == closed; }, 5000));
    EXPECT_EQ(state_symbol(screen()), "[]") << "nothing plays without the core";
    // A socket at its end is always readable: watched, it would wake the client 100 times a
    // second.
    long before = sleeps(client.pid);
    pump(client, scaled_ms(500));
    EXPECT_LE(sleeps(client.pid) - before, 2);
    // A redraw keeps saying so, in place of the clip's line. The first send may still leave;
    // the core's side answers it with a reset.
    type(client, "\x0c]]");
    EXPECT_TRUE(wait_for_text(client, "say: error: (", 0));
    EXPECT_EQ(message_text(screen()), closed);
    EXPECT_EQ(state_symbol(screen()), "[]");
}

} // namespace
