// The client's start and end as a user meets them: the greeting to the core, a start without a
// core, and a terminal that cannot show the screen.
#include <gtest/gtest.h>
#include <poll.h>

#include "session_fixture.h"

namespace {

using Client = ScriptedCore<>;

// A connection waits on the scripted core's listener, not yet accepted.
bool connection_waiting(const script_peer &peer)
{
    pollfd p{peer.listen_fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

TEST_F(Client, GreetsTheCoreAndQuitsOnQ)
{
    ASSERT_NO_FATAL_FAILURE(start_and_greet(24, 80));
    EXPECT_EQ(peer.received, "EHLO 2");
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
}

TEST_F(Client, RunsOnWithoutACoreAndQuitsCleanly)
{
    int port = closed_port();
    start_client(client, port, 24, 80);
    ASSERT_GT(client.pid, 0);
    ASSERT_TRUE(wait_for_text(client, "cannot reach 127.0.0.1:" + std::to_string(port)));
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
}

TEST_F(Client, RefusesATerminalTypeThatCannotPositionTheCursorBeforeConnecting)
{
    peer = start_script_peer();
    ASSERT_GT(peer.port, 0);
    for (const char *term : {"dumb", "no-such-terminal"}) {
        SCOPED_TRACE(term);
        client.terminal_type = term;
        client.keep_output = true;
        start_client(client, peer.port, 24, 80);
        ASSERT_GT(client.pid, 0);
        ASSERT_NO_FATAL_FAILURE(expect_exit(client, 1));
        const std::string &output = client.output;
        EXPECT_NE(output.find(std::string("\"") + term + "\""), std::string::npos) << output;
        EXPECT_EQ(output.find("\x1b"), std::string::npos) << "drew " << output;
        stop_client(client);
    }
    EXPECT_FALSE(connection_waiting(peer));
}

} // namespace
