// Fixtures that tests of several subsystems share: a clean record without a debug log from an
// earlier test, a clean record on an 80x24 test screen, and a client connected to a loopback peer
// that records what it sends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/log.h"
#include "link/conn.h"
#include "test_support.h"

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_conf();
        unlink(dlog_path());
    }
};

// Connects the client's socket to a fresh loopback peer, which accepts it.
inline void connect_to_peer(test_peer &peer)
{
    peer = start_peer();
    conf.link.sock = mkconn("127.0.0.1", peer.port);
    ASSERT_GE(conf.link.sock, 0);
    ASSERT_TRUE(accept_peer(peer));
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_conf();
        open_test_screen(24, 80);
    }
    void TearDown() override { close_test_screen(); }
};

class PeerTest : public ::testing::Test {
protected:
    test_peer peer;

    void SetUp() override
    {
        reset_conf();
        ASSERT_NO_FATAL_FAILURE(connect_to_peer(peer));
    }
    void TearDown() override { stop_peer(peer); }
};

// Both; a time limit a test set with alarm() ends with the test.
class ScreenPeerTest : public ScreenTest {
protected:
    test_peer peer;

    void SetUp() override
    {
        ScreenTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(connect_to_peer(peer));
    }
    void TearDown() override
    {
        alarm(0);
        ScreenTest::TearDown();
        stop_peer(peer);
    }
};
