#include <gtest/gtest.h>
#include <string>

#include "base/text.h"
#include "link/conn.h"
#include "client_fixtures.h"

// A user who starts the client without a core learns why nothing shows.
using ConnectMessageTest = ScreenTest;

TEST_F(ConnectMessageTest, ARefusedAttemptNamesTheAddressAndTheReason)
{
    int port = closed_port();
    zt_strncpy(conf.remote_host, "127.0.0.1", 255);
    conf.remote_port = port;
    connectto();
    EXPECT_EQ(conf.link.sock, -1);
    std::string expected = "cannot reach 127.0.0.1:" + std::to_string(port) + ": Connection refused";
    EXPECT_EQ(screen_row(21, 5, 4 + (int)expected.size() + 1), expected + " ");
}

TEST_F(ConnectMessageTest, NoHostMeansNoAttemptAndNoMessage)
{
    conf.remote_host[0] = '\0';
    conf.remote_port = 44322;
    connectto();
    EXPECT_EQ(screen_row(21, 5, 74), std::string(70, ' '));
}

TEST_F(ConnectMessageTest, ASuccessfulAttemptShowsNothing)
{
    test_peer peer = start_peer();
    zt_strncpy(conf.remote_host, "127.0.0.1", 255);
    conf.remote_port = peer.port;
    connectto();
    ASSERT_GE(conf.link.sock, 0);
    EXPECT_EQ(screen_row(21, 5, 74), std::string(70, ' '));
    stop_peer(peer);
}
