#include <cstring>
#include <random>
#include <sys/socket.h>
#include <vector>

#include "link/conn.h"
#include "screen/window.h"
#include "link_fixture.h"

namespace {

std::vector<std::string> delivered;

void record_line(char *line, int length)
{
    EXPECT_EQ(line[length], '\0');
    delivered.emplace_back(line, (size_t)length);
}

// Puts bytes where a read would leave them and runs the framing on them.
void receive(link_state &link, const std::string &bytes)
{
    ASSERT_LE((int)bytes.size(), rx_fill_limit - link.carry_len);
    memcpy(link.rxbuf + link.carry_len, bytes.data(), bytes.size());
    split_received(link, (int)bytes.size(), record_line);
}

class FramingTest : public LinkTest {
protected:
    link_state link{};
    void SetUp() override
    {
        LinkTest::SetUp();
        delivered.clear();
    }
};

using Lines = std::vector<std::string>;

TEST_F(FramingTest, DeliversEveryLineOnceAndInOrderAcrossReads)
{
    receive(link, "TIME=1\nSTATE=3\n");
    EXPECT_EQ(delivered, (Lines{"TIME=1", "STATE=3"}));
    EXPECT_EQ(link.carry_len, 0);

    receive(link, "TTIME=2");
    receive(link, "00\nVO");
    EXPECT_EQ(delivered, (Lines{"TIME=1", "STATE=3", "TTIME=200"}));
    EXPECT_EQ(link.carry_len, 2);
    EXPECT_STREQ(link.carry, "VO");

    receive(link, "L=5\r\n\n");
    EXPECT_EQ(delivered, (Lines{"TIME=1", "STATE=3", "TTIME=200", "VOL=5\r", ""}));
    EXPECT_EQ(link.carry_len, 0);
}

TEST_F(FramingTest, AnUnfinishedLineOf4091CharactersCompletes)
{
    std::string long_line(4091, 'x');
    receive(link, long_line);
    EXPECT_EQ(link.carry_len, 4091);
    EXPECT_TRUE(delivered.empty());
    receive(link, "\n");
    EXPECT_EQ(delivered, (Lines{long_line}));
    EXPECT_EQ(link.carry_len, 0);
}

// Random bytes in random read sizes: whatever is delivered, joined with "\n", is the input up
// to its last newline, as long as no line fills the whole buffer.
TEST_F(FramingTest, RandomReadsReassembleTheStream)
{
    std::mt19937 random(7);
    std::string input;
    for (int i = 0; i < 20000; i++) {
        int c = (int)(random() % 40);
        input += c < 4 ? '\n' : c == 4 ? '\0' : (char)('a' + c);
    }
    size_t at = 0;
    while (at < input.size()) {
        size_t room = (size_t)(rx_fill_limit - link.carry_len);
        size_t take = std::min({room, (size_t)(random() % 700), input.size() - at});
        receive(link, input.substr(at, take));
        at += take;
    }
    std::string joined;
    for (const std::string &line : delivered)
        joined += line + "\n";
    EXPECT_EQ(joined, input.substr(0, input.rfind('\n') + 1));
    EXPECT_EQ(std::string(link.carry, (size_t)link.carry_len), input.substr(input.rfind('\n') + 1));
}

class HandleDataTest : public LinkTest {
protected:
    int ends[2] = {-1, -1};
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
    }
    void TearDown() override
    {
        close(ends[0]);
        close(ends[1]);
    }
    void peer_sends(const std::string &bytes)
    {
        ASSERT_EQ(send(ends[1], bytes.data(), bytes.size(), 0), (ssize_t)bytes.size());
    }
};

// A read that finds nothing (the socket is non-blocking) keeps the unfinished line.
TEST_F(HandleDataTest, LinesSplitOverReadsReachTheMessages)
{
    peer_sends("TIME=83\nSTA");
    EXPECT_EQ(handle_data(ends[0]), 1);
    EXPECT_FLOAT_EQ(conf.player.s_cur, 83.0f);
    EXPECT_EQ(handle_data(ends[0]), 0);
    EXPECT_EQ(conf.link.carry_len, 3);
    peer_sends("TE=3\r\n");
    EXPECT_EQ(handle_data(ends[0]), 1);
    EXPECT_EQ(conf.player.state, 3);
    EXPECT_EQ(conf.link.carry_len, 0);
}

// The whole line goes, up to its newline, also when its rest comes in several reads: its tail
// must not pass for a line of the core's.
TEST_F(HandleDataTest, ALineLongerThanTheBufferIsDroppedToItsEnd)
{
    start_log(2);
    const std::string tail = "COREQUIT=forged\nVOL=9\n";
    for (const std::string &more : {std::string("yyy"), std::string()}) {
        peer_sends(std::string(4092, 'x'));
        EXPECT_EQ(handle_data(ends[0]), 1);
        EXPECT_EQ(conf.link.carry_len, 4092);
        peer_sends(more.empty() ? tail : more);
        EXPECT_EQ(handle_data(ends[0]), 0);
        EXPECT_EQ(conf.link.carry_len, 0);
        EXPECT_STREQ(conf.message, "") << "a full buffer is not the core closing";
        if (!more.empty()) {
            EXPECT_EQ(handle_data(ends[0]), 1);
            peer_sends(tail);
        }
        EXPECT_EQ(handle_data(ends[0]), 1);
        EXPECT_EQ(conf.player.vol, 9);
        EXPECT_EQ(conf.link.disconnected, 0) << more;
        conf.player.vol = 0;
    }
    EXPECT_TRUE(log_has("] handle_data: count<=0\n"));
}

TEST_F(HandleDataTest, EndOfStreamDropsTheUnfinishedLineKeepsTheSocketAndIsToldOnce)
{
    start_log(2);
    conf.link.sock = ends[0];
    peer_sends("VOL=4");
    handle_data(ends[0]);
    close(ends[1]);
    ends[1] = -1;
    EXPECT_EQ(handle_data(ends[0]), 0);
    EXPECT_EQ(conf.link.carry_len, 0);
    EXPECT_EQ(conf.link.sock, ends[0]);
    EXPECT_STREQ(conf.message, "connection closed by the core");
    set_message("later");
    EXPECT_EQ(handle_data(ends[0]), 0);
    EXPECT_STREQ(conf.message, "later");
    EXPECT_FALSE(log_has("connection closed")) << "the log keeps its own lines only";
    conf.link.sock = -1;
    EXPECT_EQ(handle_data(0), 0);
    EXPECT_EQ(handle_data(-1), 0);
}

} // namespace
