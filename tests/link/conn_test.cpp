#include <atomic>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>

#include "link/conn.h"
#include "link/messages.h"
#include "link_fixture.h"
#include "list/entry_list.h"
#include "event/events.h"

namespace {

class ConnTest : public LinkTest {
protected:
    test_peer peer;
    void TearDown() override { stop_peer(peer); }

    // Connects the client to a fresh loopback peer the way start-up does.
    void connect_to_peer()
    {
        peer = start_peer();
        snprintf(conf.remote_host, sizeof conf.remote_host, "127.0.0.1");
        conf.remote_port = peer.port;
        conf.fullpath = 2;
        connectto();
        ASSERT_TRUE(accept_peer(peer));
    }

    void parse(const char *text)
    {
        std::string line(text);
        parse_line(line.data(), (int)line.size());
    }
};

TEST_F(ConnTest, ConnectsNonBlockingWithoutDelayGreetsAndSendsEachCommandAlone)
{
    start_log(2);
    connect_to_peer();
    ASSERT_GE(conf.link.sock, 0);
    EXPECT_EQ(read_chunk(peer), "EHLO 2");
    EXPECT_TRUE(fcntl(conf.link.sock, F_GETFL) & O_NONBLOCK);
    int nodelay = 0;
    socklen_t length = sizeof nodelay;
    getsockopt(conf.link.sock, IPPROTO_TCP, TCP_NODELAY, &nodelay, &length);
    EXPECT_EQ(nodelay, 1);

    say("NEXT");
    EXPECT_EQ(read_chunk(peer), "NEXT");
    say("");
    std::string long_text = "LOAD2 " + std::string(300, 'p');
    say(long_text.c_str());
    EXPECT_EQ(read_all(peer), long_text.substr(0, 258));
    EXPECT_TRUE(log_has("] say: NEXT\n"));
}

TEST_F(ConnTest, ARefusedConnectionIsLoggedClosedAndLeavesNoSocket)
{
    start_log(8);
    snprintf(conf.remote_host, sizeof conf.remote_host, "127.0.0.1");
    conf.remote_port = closed_port();
    conf.fullpath = 1;
    int before = open_descriptors();
    connectto();
    EXPECT_EQ(conf.link.sock, -1);
    EXPECT_EQ(open_descriptors(), before);
    std::string port = std::to_string(conf.remote_port);
    EXPECT_TRUE(log_has("] connectto: [127.0.0.1:" + port + "]\n"));
    EXPECT_TRUE(log_has("] mkconn:ghbn 127.0.0.1:" + port + " 0x7f000001\n"));
    EXPECT_TRUE(log_has("] mkconn:connect wait failed 127.0.0.1:" + port +
                        " error: Connection refused\n"));
    // The greeting is still said, and dropped.
    EXPECT_TRUE(log_has("] say: EHLO 1\n"));
}

int redraws;

// A listener with a full queue drops the client's first SYN, so the attempt waits; resizes keep
// coming meanwhile and are redrawn, and room is made after the first few. An interrupt that came
// before the wait (during the look-up, say) ends the client at once.
TEST_F(ConnTest, SignalsDuringTheConnectionAttemptRedrawOrEndIt)
{
    int port = 0;
    int listener = listen_on_loopback(0, 0, port);
    ASSERT_GE(listener, 0);
    sockaddr_in addr = loopback_address(port);
    int filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, (sockaddr *)&addr, sizeof addr), 0);

    child_result interrupted = run_in_child([port] {
        install_signal_handlers();
        raise(SIGINT);
        mkconn("127.0.0.1", port);
    });
    EXPECT_EQ(interrupted.status, 255);

    redraws = 0;
    set_event_hooks({[] { redraws++; }, nullptr});
    install_signal_handlers();
    std::atomic<bool> done{false};
    pthread_t waiting = pthread_self();
    std::thread resizer([&] {
        for (int i = 0; !done; i++) {
            pthread_kill(waiting, SIGWINCH);
            if (i == 5)
                close(accept(listener, nullptr, nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    int fd = mkconn("127.0.0.1", port);
    done = true;
    resizer.join();
    EXPECT_GE(fd, 0);
    EXPECT_GT(redraws, 0);
    set_event_hooks({});
    close(fd);
    close(filler);
    close(listener);
}

TEST_F(ConnTest, AnOutOfRangePortFallsBackAndAnEmptyHostMakesNoAttempt)
{
    start_log(8);
    conf.remote_port = 70000;
    connectto();
    EXPECT_EQ(conf.remote_port, 44322);
    EXPECT_EQ(conf.link.sock, -1);
    EXPECT_TRUE(log_has("] connectto: [:70000]\n"));
    EXPECT_FALSE(log_has("mkconn"));
    EXPECT_FALSE(log_has("say:"));
    conf.remote_port = -1;
    connectto();
    EXPECT_EQ(conf.remote_port, 44322);
    // Without a connection a command is logged and dropped.
    say("PAUSE");
    EXPECT_TRUE(log_has("] say: PAUSE\n"));
}

TEST_F(ConnTest, AFailedSendIsLoggedAtLevelZeroAndCut)
{
    start_log(1);
    int not_a_socket = open("/dev/null", O_RDWR);
    conf.link.sock = not_a_socket;
    say("NEXT");
    EXPECT_TRUE(log_has("] say: error: (88) Socket operation on non-socket [NEXT]\n"));
    EXPECT_FALSE(log_has("] say: NEXT"));
    EXPECT_STREQ(conf.link.say_buf, "say: error: (88) Socket operation on non-socket [NEXT]");

    say(std::string(400, 'z').c_str());
    EXPECT_EQ(strlen(conf.link.say_buf), 254u);
    EXPECT_EQ(std::string(conf.link.say_buf).rfind("say: error: (88) ", 0), 0u);
    conf.link.sock = -1;
    close(not_a_socket);
}

TEST_F(ConnTest, CoreQuitTearsTheConnectionDownAndResetsTheState)
{
    start_log(2);
    connect_to_peer();
    read_chunk(peer);
    parse("TIME=83");
    parse("TTIME=200");
    parse("HELLO=1.2");
    parse("LIST_START=2");
    parse("NAM00]=1,a");
    parse("NAM01]=-1,b");
    parse("LIST_END");
    parse("CUR=1");
    conf.list.top = 1;
    int before = open_descriptors();

    parse("COREQUIT=bye");
    EXPECT_EQ(conf.link.sock, -1);
    EXPECT_EQ(conf.link.disconnected, 1);
    EXPECT_EQ(open_descriptors(), before - 1);
    EXPECT_STREQ(conf.player.core_version, "disconnected.");
    EXPECT_FLOAT_EQ(conf.player.s_cur, -1.0f);
    EXPECT_FLOAT_EQ(conf.player.s_dur, -1.0f);
    EXPECT_EQ(conf.list.dmt, 0);
    EXPECT_EQ(conf.list.dir_head, nullptr);
    EXPECT_EQ(conf.list.index[0], nullptr);
    EXPECT_EQ(conf.list.index[1], nullptr);
    EXPECT_EQ(conf.list.cur, 0);
    EXPECT_EQ(conf.list.top, 0);
    EXPECT_EQ(conf.list.pos, 0);

    // The peer sees the end of the stream, and nothing more is sent.
    char byte;
    EXPECT_EQ(recv(peer.conn_fd, &byte, 1, 0), 0);
    // Even with a descriptor in place, a disconnected client sends nothing.
    int not_a_socket = open("/dev/null", O_RDWR);
    conf.link.sock = not_a_socket;
    say("NEXT");
    EXPECT_TRUE(log_has("] say: NEXT\n"));
    EXPECT_FALSE(log_has("say: error"));
    conf.link.sock = -1;
    close(not_a_socket);
}

} // namespace
