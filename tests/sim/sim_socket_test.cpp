// The built simulator as a child process, reached through real loopback sockets.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "system_io.h"

namespace {

constexpr int wait_ms = 10000; // generous: the sanitized simulator may start slowly

struct sim_child {
    pid_t pid = -1;
    int out_fd = -1;
    int port = 0;
    std::string banner;
};

// Reads from fd until text holds marker or nothing comes for wait_ms; appends to text.
bool read_until(int fd, std::string &text, const std::string &marker)
{
    while (text.find(marker) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, wait_ms) != 1)
            return false;
        char buf[65536];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        text.append(buf, (size_t)n);
    }
    return true;
}

// Starts the simulator with args after it; its first output line names the port it took. Its log
// follows on the same pipe.
sim_child start_sim(std::vector<std::string> args)
{
    sim_child child;
    int out[2];
    if (pipe(out) != 0)
        return child;
    args.insert(args.begin(), VESK_SIM_BINARY);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    child.pid = fork();
    if (child.pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    child.out_fd = out[0];
    if (read_until(child.out_fd, child.banner, "\n")) {
        size_t colon = child.banner.rfind(':');
        if (colon != std::string::npos)
            child.port = atoi(child.banner.c_str() + colon + 1);
    }
    return child;
}

// Ends the child and returns its exit status (-1 when it did not exit normally).
int wait_sim(sim_child &child)
{
    int status = 0;
    if (child.pid <= 0 || waitpid(child.pid, &status, 0) != child.pid)
        return -1;
    close(child.out_fd);
    child.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int stop_sim(sim_child &child)
{
    if (child.pid > 0)
        kill(child.pid, SIGTERM);
    return wait_sim(child);
}

int connect_to(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = loopback_address(port);
    if (connect(fd, (sockaddr *)&addr, sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void say(int fd, const std::string &command)
{
    ASSERT_EQ(send(fd, command.data(), command.size(), MSG_NOSIGNAL), (ssize_t)command.size());
}

// Greets and reads the whole answer, up to the last line of the state report.
std::string greet(int fd, int mode)
{
    say(fd, "EHLO " + std::to_string(mode));
    std::string text;
    EXPECT_TRUE(read_until(fd, text, "SCROB=0\n")) << text;
    return text;
}

// True when the other end of fd (a connection, the simulator's output) closes before wait_ms
// pass without data.
bool closed_by_peer(int fd)
{
    std::string ignored;
    read_until(fd, ignored, std::string("\x01never", 6));
    pollfd p{fd, POLLIN, 0};
    char byte;
    return poll(&p, 1, 0) == 1 && read(fd, &byte, 1) == 0;
}

TEST(SimSocket, GreetsWithHelloAndTheListAndSaysGoodbyeOnTerm)
{
    sim_child sim = start_sim({"--port", "0", "--quiet"});
    ASSERT_GT(sim.port, 0) << sim.banner;
    EXPECT_EQ(sim.banner, "listening on 127.0.0.1:" + std::to_string(sim.port) + "\n");
    int fd = connect_to(sim.port);
    ASSERT_GE(fd, 0);
    std::string text = greet(fd, 1);
    EXPECT_EQ(text.rfind("HELLO=0.1-sim\nLISTNAME=root menu\nLIST_START=7\nNAME[1]=-1,Amiga\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("NAME[7]=-1,Unusual\nLIST_END\nCUR=0\n"), std::string::npos);

    say(fd, "LOAD 1");
    std::string c64;
    EXPECT_TRUE(read_until(fd, c64, "LIST_END\n"));
    EXPECT_NE(c64.find("NAME[1]=-1,C64/Hubbard, Rob\n"), std::string::npos) << c64;
    EXPECT_EQ(stop_sim(sim), 0);
    // Stopped by a signal, the core still says goodbye.
    std::string goodbye;
    EXPECT_TRUE(read_until(fd, goodbye, "COREQUIT=")) << goodbye;
    close(fd);
}

// Asked to stop while a client is connected, a lingering core serves it on, and whoever connects
// shortly after the last client left; it ends a while after that.
TEST(SimSocket, LingeringCoreEndsOnlyAWhileAfterItsLastClient)
{
    sim_child sim = start_sim({"--port", "0", "--linger"});
    ASSERT_GT(sim.port, 0);
    int fd = connect_to(sim.port);
    greet(fd, 0);
    kill(sim.pid, SIGTERM);
    // The stop is seen at the latest in the pass that answers the first command.
    for (const char *volume : {"VOL=73\n", "VOL=76\n"}) {
        say(fd, "VOL+");
        std::string answer;
        EXPECT_TRUE(read_until(fd, answer, volume)) << answer;
    }
    close(fd);
    std::string log;
    ASSERT_TRUE(read_until(sim.out_fd, log, "client 0: closed")) << log;
    int late = connect_to(sim.port);
    ASSERT_GE(late, 0);
    EXPECT_EQ(greet(late, 0).rfind("HELLO=", 0), 0u);
    close(late);
    EXPECT_TRUE(closed_by_peer(sim.out_fd)) << "the simulator still runs";
    EXPECT_EQ(wait_sim(sim), 0);
}

TEST(SimSocket, ClientsShareThePlayerAndTimeRunsWhilePlaying)
{
    sim_child sim = start_sim({"--port", "0", "--quiet", "--tick-ms", "10"});
    ASSERT_GT(sim.port, 0);
    int a = connect_to(sim.port);
    int b = connect_to(sim.port);
    greet(a, 0);
    greet(b, 2);
    say(a, "LOAD2 Amiga/Protracker/Jingle.mod");
    std::string seen_by_b;
    EXPECT_TRUE(read_until(b, seen_by_b, "STATE=2\n")) << seen_by_b;
    EXPECT_NE(seen_by_b.find("NAME[3]=4,/media/library/Amiga/Protracker/Jingle.mod\n"),
              std::string::npos);
    EXPECT_NE(seen_by_b.find("TITLE=Jingle\n"), std::string::npos);
    EXPECT_NE(seen_by_b.find("TIME=3\nTIME=4\nSTATE=2\nTIME=0\n"), std::string::npos);
    std::string seen_by_a;
    EXPECT_TRUE(read_until(a, seen_by_a, "STATE=2\n"));
    EXPECT_NE(seen_by_a.find("NAME[3]=4,Jingle.mod\n"), std::string::npos);
    close(a);
    close(b);
    EXPECT_EQ(stop_sim(sim), 0);
}

TEST(SimSocket, SurvivesGarbageVanishingClientsAndTooManyClients)
{
    sim_child sim = start_sim({"--port", "0", "--quiet", "--big", "200000"});
    ASSERT_GT(sim.port, 0);

    // A client that leaves in the middle of a big listing.
    int leaver = connect_to(sim.port);
    say(leaver, "EHLO 2");
    std::string start;
    read_until(leaver, start, "SCROB=0\n");
    say(leaver, "LOADFAV 9");
    read_until(leaver, start, "NAME[100]=");
    close(leaver);

    // A client that sends noise, some of it far longer than a command.
    int noisy = connect_to(sim.port);
    std::string noise;
    srand(11);
    for (int i = 0; i < 20000; i++)
        noise += (char)(rand() & 0xff);
    say(noisy, noise);
    close(noisy);

    int fd = connect_to(sim.port);
    ASSERT_GE(fd, 0);
    std::string text = greet(fd, 0);
    EXPECT_EQ(text.rfind("HELLO=0.1-sim\n", 0), 0u);

    // Once every slot is taken a new connection is closed at once; the others stay served.
    std::vector<int> crowd;
    bool refused = false;
    while (!refused && crowd.size() < 40) {
        int other = connect_to(sim.port);
        send(other, "EHLO 0", 6, MSG_NOSIGNAL);
        std::string hello;
        refused = !read_until(other, hello, "HELLO=");
        if (refused)
            close(other);
        else
            crowd.push_back(other);
    }
    EXPECT_TRUE(refused);
    EXPECT_LE(crowd.size(), 15u);
    for (int other : crowd)
        close(other);

    // QUIT answers and closes this client only.
    say(fd, "QUIT");
    std::string bye;
    EXPECT_TRUE(read_until(fd, bye, "COREQUIT="));
    EXPECT_TRUE(closed_by_peer(fd));
    close(fd);
    int again = connect_to(sim.port);
    EXPECT_EQ(greet(again, 0).rfind("HELLO=", 0), 0u);
    close(again);
    EXPECT_EQ(stop_sim(sim), 0);
}

TEST(SimSocket, BadOptionsAndATakenPortEndWithAnErrorStatus)
{
    sim_child bad = start_sim({"--port", "70000"});
    EXPECT_EQ(wait_sim(bad), 2);
    sim_child unknown = start_sim({"--frobnicate"});
    EXPECT_EQ(wait_sim(unknown), 2);
    sim_child help = start_sim({"--help"});
    EXPECT_EQ(help.banner.rfind("usage: ", 0), 0u);
    EXPECT_EQ(wait_sim(help), 0);

    sim_child first = start_sim({"--port", "0", "--quiet"});
    ASSERT_GT(first.port, 0);
    sim_child second = start_sim({"--port", std::to_string(first.port), "--quiet"});
    EXPECT_EQ(wait_sim(second), 1);
    EXPECT_EQ(stop_sim(first), 0);
}

} // namespace
