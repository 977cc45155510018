// The fixtures of the end-to-end tests: sessions against the simulated core, the simulator and
// the client in an emulated xterm with the waits and the reads of the screen that the session
// tests share; and the client against a scripted core.
#pragma once

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "client_screen.h"
#include "e2e_session.h"

constexpr const char *root_title = "/media/library";
constexpr const char *root_first = "/media/library/Amiga";
constexpr int sim_ms_per_second = 200;

// The simulator's root list is up; the volume comes last in the core's first report.
inline bool shows_root_list(const vt_screen &term)
{
    return list_text(term, 0) == root_first && volume_field(term) == " 70";
}

// Waits for the client's end; it must have exited with status expected.
inline void expect_exit(client_process &client, int expected, int timeout_ms = 5000)
{
    int status = wait_exit(client, timeout_ms);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), expected);
}

// Ends the client; when the test failed, its screen at the end goes to the output first.
inline void end_client(client_process &client)
{
    if (::testing::Test::HasFailure() && client.term.vt != nullptr)
        printf("screen at the end:\n%s", vt_dump(client.term).c_str());
    stop_client(client);
}

class Session : public ::testing::Test {
protected:
    sim_process sim;
    client_process client;

    // Starts the simulator, then the client, and waits for the root list.
    void launch(const std::vector<std::string> &sim_options = {}, int rows = 24, int cols = 80,
                const std::vector<std::string> &client_options = {})
    {
        std::vector<std::string> options{"--tick-ms", std::to_string(sim_ms_per_second)};
        options.insert(options.end(), sim_options.begin(), sim_options.end());
        sim = start_sim(options);
        ASSERT_GT(sim.pid, 0) << sim.error;
        start_client(client, sim.port, rows, cols, client_options);
        ASSERT_GT(client.pid, 0);
        ASSERT_TRUE(wait_for([&] { return shows_root_list(screen()); })) << vt_dump(client.term);
    }

    void TearDown() override
    {
        end_client(client);
        stop_sim(sim);
    }

    const vt_screen &screen() const { return client.term; }

    bool wait_for(const std::function<bool()> &done, int timeout_ms = 5000)
    {
        return wait_until(client, done, timeout_ms);
    }

    bool cursor_on(int i) { return vt_cell_at(client.term, 1 + i, 2).style.reverse; }

    // The elapsed time shown, in seconds; -1 when the field holds no time.
    int shown_seconds()
    {
        int minutes = 0;
        int seconds = 0;
        std::string text = time_field(screen());
        if (sscanf(text.c_str(), " %d:%d", &minutes, &seconds) != 2)
            return -1;
        return minutes * 60 + seconds;
    }

    // Clicks a cell and holds the button until the press has had its effect, as a person's
    // click takes a moment; true when it had.
    bool click_until(int row, int col, const std::function<bool()> &done)
    {
        mouse_press(client, row, col);
        bool happened = wait_for(done);
        mouse_release(client, row, col);
        return happened;
    }

    // Opens a path or a search word through the "o" prompt.
    void open(const std::string &text)
    {
        type(client, "o");
        ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "open:"; }));
        type(client, text + "\r");
    }
};

// A terminal type as a test's name, which may hold no "-".
inline std::string terminal_test_name(const ::testing::TestParamInfo<const char *> &info)
{
    std::string name = info.param;
    for (char &c : name)
        if (c == '-')
            c = '_';
    return name;
}

// The client against a scripted core, which sends what the test gives it. Base is the gtest class
// to derive from (::testing::TestWithParam for a parameterised test).
template <typename Base = ::testing::Test> class ScriptedCore : public Base {
protected:
    script_peer peer;
    client_process client;

    void TearDown() override
    {
        end_client(client);
        stop_script_peer(peer);
    }

    const vt_screen &screen() const { return client.term; }

    // Starts the scripted core and a client of rows x cols against it, and waits for the greeting.
    void start_and_greet(int rows, int cols)
    {
        peer = start_script_peer();
        ASSERT_GT(peer.port, 0);
        start_client(client, peer.port, rows, cols);
        ASSERT_GT(client.pid, 0);
        ASSERT_TRUE(wait_for_command(client, peer, "EHLO"));
    }
};
