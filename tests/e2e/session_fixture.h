// The fixture of the sessions against the simulated core: the simulator and the client in an
// emulated xterm, with the waits and the reads of the screen that the session tests share.
#pragma once

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "client_screen.h"
#include "e2e_session.h"

constexpr const char *root_title = "/media/library";
constexpr const char *root_first = "/media/library/Amiga";
constexpr int sim_ms_per_second = 200;

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
        // The volume comes last in the core's first report.
        ASSERT_TRUE(wait_for([&] {
            return list_text(screen(), 0) == root_first && volume_field(screen()) == " 70";
        })) << vt_dump(client.term);
    }

    void TearDown() override
    {
        if (HasFailure() && client.term.vt != nullptr)
            printf("screen at the end:\n%s", vt_dump(client.term).c_str());
        stop_client(client);
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
