// Signals and terminal events at awkward moments, against the simulated core: a storm of resizes,
// also while nobody reads the terminal; interrupts in the middle of a long list load; a stop and a
// continue; a terminal that goes away while hang-ups are ignored.
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <random>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "client_screen.h"
#include "e2e_session.h"
#include "session_fixture.h"

namespace {

using steady = std::chrono::steady_clock;

constexpr int big_list_size = 262144;

// What xterm sends for the Down key with keypad transmit on, and with it off.
constexpr const char *down_in_keypad_mode = "\x1bOB";
constexpr const char *down_in_cursor_mode = "\x1b[B";

int elapsed_ms(steady::time_point since)
{
    return (int)std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - since)
        .count();
}

// Polls a condition without reading the client's terminal; false when timeout_ms pass first.
bool poll_until(const std::function<bool()> &done, int timeout_ms)
{
    steady::time_point start = steady::now();
    while (!done()) {
        if (elapsed_ms(start) > scaled_ms(timeout_ms))
            return false;
        poll(nullptr, 0, 1);
    }
    return true;
}

// The number of the system call the process sleeps in; -1 while it runs.
long sleeping_call(pid_t pid)
{
    std::string text = file_text("/proc/" + std::to_string(pid) + "/syscall");
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return -1;
    return strtol(text.c_str(), nullptr, 10);
}

// The process sleeps in select(), as the client does in its waits.
bool waiting(pid_t pid)
{
    long call = sleeping_call(pid);
    return call == SYS_select || call == SYS_pselect6;
}

// The settings of a terminal nobody has changed yet.
termios fresh_terminal_settings()
{
    termios settings{};
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
        tcgetattr(master, &settings);
    close(master);
    close(slave);
    return settings;
}

bool same_settings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

bool screen_shows(const vt_screen &term, const std::string &text)
{
    for (int row = 0; row < term.rows; row++)
        if (vt_row(term, row).find(text) != std::string::npos)
            return true;
    return false;
}

class Signals : public Session {
protected:
    std::vector<std::unique_ptr<client_process>> runs; // clients beside the fixture's
    std::vector<script_peer> cores;                     // the scripted core of each run

    void TearDown() override
    {
        Session::TearDown();
        for (std::unique_ptr<client_process> &run : runs)
            stop_client(*run);
        for (script_peer &core : cores)
            stop_script_peer(core);
    }

    // The frame and the volume bar, drawn last, fill exactly the emulated terminal's size.
    bool drawn_whole()
    {
        return frame_problem(screen()).empty() && volume_bar(screen()) == "[########---]";
    }

    // Resizes to 41 x 121 and 42 x 121 in turn until the client sleeps in a write of its redraw
    // that nobody reads.
    void resize_until_writes_block()
    {
        for (int i = 0; sleeping_call(client.pid) != SYS_write; i++) {
            ASSERT_LT(i, 2000) << "the client's writes never blocked";
            resize(client, 41 + i % 2, 121);
            // The client redraws, then sleeps again: in its wait, or in a write.
            ASSERT_TRUE(poll_until([&] { return sleeping_call(client.pid) >= 0; }, 5000));
        }
    }

    // A client interrupted on SIGINT ended as it should: status 255, its report on the restored
    // terminal, the terminal's settings as they were, no sanitizer report.
    void expect_interrupted_cleanly(client_process &run, const termios &fresh,
                                    const std::string &when)
    {
        int status = wait_exit(run, 10000);
        ASSERT_TRUE(WIFEXITED(status)) << when << ", status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 255) << when;
        termios settings{};
        ASSERT_EQ(tcgetattr(run.master, &settings), 0) << when;
        EXPECT_TRUE(same_settings(settings, fresh))
            << when << ": lflag " << std::hex << settings.c_lflag << ", fresh " << fresh.c_lflag;
        EXPECT_TRUE(screen_shows(run.term, "Caught signal: 2 (SIGINT)")) << when;
        EXPECT_FALSE(run.term.altscreen) << when;
        for (const char *report : {"AddressSanitizer", "LeakSanitizer", "runtime error"})
            EXPECT_FALSE(screen_shows(run.term, report)) << when << ":\n" << vt_dump(run.term);
    }

    // Starts one more client, against a scripted core of its own, and waits for its greeting.
    void start_run()
    {
        runs.push_back(std::make_unique<client_process>());
        cores.push_back(start_script_peer());
        ASSERT_GT(cores.back().port, 0);
        start_client(*runs.back(), cores.back().port, 24, 80);
        ASSERT_GT(runs.back()->pid, 0);
        ASSERT_TRUE(wait_for_command(*runs.back(), cores.back(), "EHLO"));
    }

    static bool loaded(const client_process &run, int n)
    {
        return message_text(run.term).rfind("Loaded " + std::to_string(n) + " in", 0) == 0;
    }
};

TEST_F(Signals, AHundredResizesEndAtTheLastSizeAlsoWhenTheTerminalReadsLate)
{
    launch();
    // Idle: the client has nothing else to do between the resizes.
    for (int i = 0; i < 99; i++) {
        resize(client, 20 + i % 7, 80 + i % 11);
        pump(client, 0);
    }
    resize(client, 30, 100);
    ASSERT_TRUE(wait_for([&] { return drawn_whole(); }, 2000))
        << frame_problem(screen());

    // Slow: nobody reads the terminal, so a redraw's writes block while the sizes change.
    ASSERT_NO_FATAL_FAILURE(resize_until_writes_block());
    for (int i = 0; i < 99; i++)
        resize(client, 20 + i % 7, 80 + i % 11);
    resize(client, 33, 111);
    ASSERT_TRUE(wait_for([&] { return drawn_whole(); }, 2000))
        << frame_problem(screen());
}

// Each interrupt lands at a point of a load drawn from a seeded generator, so that a failure can
// be run again: a scripted core sends the list up to that entry, without its end, and the signal
// goes as soon as they are sent, while the client is still reading them. Beside them, a client that
// is interrupted only after its load of a list as long as the index has ended.
TEST_F(Signals, InterruptsDuringALongListLoadEndWith255OnARestoredTerminal)
{
    constexpr int run_count = 20;
    constexpr int list_size = 16384;
    // Entries sent at the least: more than the client reads before the signal arrives.
    constexpr int least_sent = 1000;
    const termios fresh = fresh_terminal_settings();
    std::string list = "LIST_START=" + std::to_string(list_size) + "\n";
    std::vector<size_t> entry_end; // where each entry's line ends in list
    for (int i = 0; i < list_size; i++) {
        char line[80];
        snprintf(line, sizeof line, "NAME[%d]=%d,Music/Artist %06d/Some track title.ogg\n", i + 1,
                 i % 5 == 0 ? -1 : 1, i);
        list += line;
        entry_end.push_back(list.size());
    }
    for (int i = 0; i < run_count; i++)
        ASSERT_NO_FATAL_FAILURE(start_run());

    std::mt19937 draw(15);
    std::vector<int> sent;
    for (int i = 0; i < run_count; i++) {
        sent.push_back(least_sent + (int)(draw() % (list_size - least_sent)));
        ASSERT_TRUE(peer_send(cores[i], list.substr(0, entry_end[sent[i] - 1])));
        kill(runs[i]->pid, SIGINT);
    }
    ASSERT_NO_FATAL_FAILURE(launch({"--big", std::to_string(big_list_size)}));
    type(client, "9");
    ASSERT_TRUE(wait_for([&] { return loaded(client, big_list_size); }, 60000));
    kill(client.pid, SIGINT);
    for (int i = 0; i < run_count; i++) {
        std::string when = "run " + std::to_string(i) + " after " + std::to_string(sent[i]) +
                           " of " + std::to_string(list_size) + " entries";
        ASSERT_NO_FATAL_FAILURE(expect_interrupted_cleanly(*runs[i], fresh, when));
    }
    ASSERT_NO_FATAL_FAILURE(expect_interrupted_cleanly(client, fresh, "after the load"));
}

// As after Ctrl-Z and fg in a shell. Stopped, the client leaves bracketed paste to the shell.
TEST_F(Signals, TheFirstArrowKeyAfterAStopAndAContinueMovesTheCursor)
{
    constexpr const char *paste_on = "\x1b[?2004h";
    constexpr const char *paste_off = "\x1b[?2004l";
    client.job_control = true;
    client.keep_output = true;
    launch();
    ASSERT_EQ(vt_key_bytes(client.term, VTERM_KEY_DOWN), down_in_keypad_mode);
    // Curses ignores the stop signal while it updates the screen: stop the client in its wait.
    ASSERT_TRUE(wait_for([&] { return waiting(client.pid); }));
    type(client, "\x1a");
    int status = 0;
    ASSERT_TRUE(wait_for([&] {
        return waitpid(client.pid, &status, WNOHANG | WUNTRACED) == client.pid;
    }));
    ASSERT_TRUE(WIFSTOPPED(status)) << status;
    // Stopped, the client has given the terminal its own modes back.
    ASSERT_TRUE(wait_for([&] {
        return !screen().altscreen && vt_key_bytes(client.term, VTERM_KEY_DOWN) ==
                                          down_in_cursor_mode;
    }));
    ASSERT_NE(client.output.rfind(paste_off), std::string::npos);
    EXPECT_GT(client.output.rfind(paste_off), client.output.rfind(paste_on));
    client.output.clear();

    kill(-client.pid, SIGCONT);
    // No key comes before keypad transmit and the mouse are on again.
    ASSERT_TRUE(wait_for([&] {
        return screen().altscreen && screen().mouse_mode != VTERM_PROP_MOUSE_NONE &&
               vt_key_bytes(client.term, VTERM_KEY_DOWN) == down_in_keypad_mode;
    })) << vt_key_bytes(client.term, VTERM_KEY_DOWN);
    EXPECT_NE(client.output.find(paste_on), std::string::npos);
    press(client, VTERM_KEY_DOWN);
    ASSERT_TRUE(wait_for([&] { return cursor_on(1); }));
    EXPECT_FALSE(cursor_on(0));
    EXPECT_EQ(frame_problem(screen()), "");
}

// Under nohup or a multiplexer that ignores hang-ups, the end of the terminal is only the end of
// its input.
TEST_F(Signals, AVanishedTerminalWithHangUpsIgnoredEndsTheClientAsQuitDoes)
{
    client.ignore_hangup = true;
    launch();
    EXPECT_FALSE(file_exists(conf_file_path(client)));
    close_terminal(client);
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
    std::string saved = file_text(conf_file_path(client));
    EXPECT_NE(saved.find("k_quit=q\n"), std::string::npos) << saved;
}

// Releases of the middle and the right button are events the client takes: none leaves it reading
// on inside curses, where no signal, resize or core line reaches it. Both mouse encodings.
class OtherButtons : public ScriptedCore<::testing::TestWithParam<const char *>> {};

TEST_P(OtherButtons, AfterTheirReleasesCoreLinesResizesAndSignalsNeedNoKey)
{
    client.terminal_type = GetParam();
    ASSERT_NO_FATAL_FAILURE(start_and_greet(24, 80));
    for (int button : {2, 3}) {
        mouse_press(client, 5, 10, button);
        // A person's release comes apart from the press.
        ASSERT_TRUE(wait_until(client, [&] { return unread_input(client) == 0; }, 5000));
        mouse_release(client, 5, 10, button);
    }
    ASSERT_TRUE(peer_send(peer, "VOL=42\n"));
    EXPECT_TRUE(wait_until(client, [&] { return volume_field(screen()) == " 42"; }, 5000));
    resize(client, 30, 100);
    EXPECT_TRUE(wait_until(client, [&] { return frame_problem(screen()).empty(); }, 5000))
        << frame_problem(screen());
    kill(client.pid, SIGTERM);
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 255, 1000));
}

INSTANTIATE_TEST_SUITE_P(MouseEncodings, OtherButtons,
                         ::testing::Values("xterm-256color", "tmux-256color"), terminal_test_name);

// A held volume button repeats until its release, also when the window changed its size during
// the hold; after the release nothing more goes out. Both mouse encodings.
class HeldButton : public ScriptedCore<::testing::TestWithParam<const char *>> {
protected:
    size_t volume_steps() const
    {
        size_t count = 0;
        for (size_t at = peer.received.find("VOL-"); at != std::string::npos;
             at = peer.received.find("VOL-", at + 1))
            count++;
        return count;
    }
};

TEST_P(HeldButton, NothingRepeatsAfterTheReleaseOfAHoldThatSawAResize)
{
    client.terminal_type = GetParam();
    ASSERT_NO_FATAL_FAILURE(start_and_greet(24, 80));
    mouse_press(client, 23, 73);
    ASSERT_TRUE(wait_until(client, [&] { serve_peer(peer); return volume_steps() >= 2; }, 5000));
    resize(client, 30, 100);
    ASSERT_TRUE(wait_until(client, [&] { return frame_problem(screen()).empty(); }, 5000))
        << frame_problem(screen());
    mouse_release(client, 29, 93);
    ASSERT_TRUE(wait_until(client, [&] { return unread_input(client) == 0; }, 5000));
    size_t released = volume_steps();
    // One step may have been on its way; a repeat that runs on sends ten a second.
    EXPECT_FALSE(wait_until(client, [&] { serve_peer(peer); return volume_steps() > released + 1; },
                            1000)) << volume_steps() - released << " more";
}

INSTANTIATE_TEST_SUITE_P(MouseEncodings, HeldButton,
                         ::testing::Values("xterm-256color", "tmux-256color"), terminal_test_name);

} // namespace
