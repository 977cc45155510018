// A user's session with the real client against the simulated core, read back from an emulated
// xterm: what the screen shows after each key, click, resize or signal.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "client_screen.h"
#include "e2e_session.h"
#include "session_fixture.h"

namespace {

TEST_F(Session, ShowsTheRootListInItsFrame)
{
    launch();
    const char *entries[] = {"Amiga", "C64", "Consoles", "PC", "Music", "Videos", "Unusual"};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(list_text(screen(), i), std::string(root_title) + "/" + entries[i]);
    EXPECT_EQ(list_text(screen(), 7), "");
    // The title in the middle of the top border, between its tees.
    EXPECT_EQ(vt_row(screen(), 0, 32, 47), "\u2524/media/library\u251c");
    EXPECT_EQ(frame_problem(screen()), "");
    // Directories are yellow; the cursor row is reversed.
    vt_cell cursor_row = vt_cell_at(screen(), 1, 2);
    vt_cell other_row = vt_cell_at(screen(), 2, 2);
    EXPECT_EQ(other_row.style, (vt_style{3, 0, false}));
    EXPECT_EQ(cursor_row.style, (vt_style{3, 0, true}));
    EXPECT_EQ(state_symbol(screen()), "[]");
    EXPECT_EQ(volume_field(screen()), " 70");
    EXPECT_EQ(volume_bar(screen()), "[########---]");
    EXPECT_TRUE(screen().altscreen);
    EXPECT_NE(screen().mouse_mode, VTERM_PROP_MOUSE_NONE);
}

TEST_F(Session, CursorKeysMoveTheCursorAndEnterOpensADirectory)
{
    launch();
    press(client, VTERM_KEY_DOWN);
    press(client, VTERM_KEY_DOWN);
    ASSERT_TRUE(wait_for([&] { return cursor_on(2); }));
    EXPECT_FALSE(cursor_on(0));
    EXPECT_FALSE(cursor_on(1));
    press(client, VTERM_KEY_UP);
    ASSERT_TRUE(wait_for([&] { return cursor_on(1) && !cursor_on(2); }));
    press(client, VTERM_KEY_DOWN);
    press(client, VTERM_KEY_ENTER);
    ASSERT_TRUE(wait_for_text(client, "/media/library/Consoles/NES", 1));
    EXPECT_EQ(vt_row(screen(), 0, 27, 51), "\u2524/media/library/Consoles\u251c");
    const char *consoles[] = {"NES", "Game Boy", "Atari ST", "Atari XL", "X68000"};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(list_text(screen(), i), std::string("/media/library/Consoles/") + consoles[i]);
    EXPECT_TRUE(cursor_on(0));
    press(client, VTERM_KEY_END);
    ASSERT_TRUE(wait_for([&] { return cursor_on(4) && !cursor_on(0); }));
    press(client, VTERM_KEY_HOME);
    ASSERT_TRUE(wait_for([&] { return cursor_on(0) && !cursor_on(4); }));
    // Back up: the cursor returns to the directory we came from.
    press(client, VTERM_KEY_LEFT);
    ASSERT_TRUE(wait_for_text(client, "\u2524/media/library\u251c", 0));
    ASSERT_TRUE(wait_for([&] { return cursor_on(2); }));
    EXPECT_EQ(list_text(screen(), 2), "/media/library/Consoles");
    EXPECT_EQ(frame_problem(screen()), "");
}

TEST_F(Session, PlayingAClipShowsItsStateTimeAndFormat)
{
    launch();
    for (int i = 0; i < 3; i++)
        press(client, VTERM_KEY_DOWN);
    press(client, VTERM_KEY_ENTER);
    ASSERT_TRUE(wait_for_text(client, "/media/library/PC/Canyon.mid", 3));
    // The core sends the file first; directories still come first on the screen.
    EXPECT_EQ(list_text(screen(), 0), "/media/library/PC/AdLib");
    EXPECT_EQ(list_text(screen(), 1), "/media/library/PC/Tracker");
    // Other programs read the now-playing file: it follows the clip, with no redraw.
    const std::string now_playing_dir = "/tmp/vesk-" + client.user;
    ASSERT_EQ(mkdir(now_playing_dir.c_str(), 0700), 0);
    press(client, VTERM_KEY_END);
    press(client, VTERM_KEY_ENTER);
    bool followed = wait_for([&] {
        return file_text(now_playing_dir + "/vesk-now-playing.txt") ==
               "Canyon - George Stone (1990, Windows 3.0)";
    });
    std::filesystem::remove_all(now_playing_dir);
    EXPECT_TRUE(followed) << "the now-playing file follows the clip";
    ASSERT_TRUE(wait_for([&] { return state_symbol(screen()) == "|>"; }));
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "Canyon - George Stone"; }));
    EXPECT_EQ(total_time_field(screen()), "  2:20");
    EXPECT_EQ(format_field(screen()), " 32kHz   --/--   2ch");
    // The playing file under the cursor: blue and reversed.
    EXPECT_EQ(vt_cell_at(screen(), 3, 2).style, (vt_style{7, 4, true}));
    // The time advances with the core's reports, and the progress bar with it.
    ASSERT_TRUE(wait_for([&] { return shown_seconds() >= 2; })) << time_field(screen());
    int seconds = shown_seconds();
    ASSERT_TRUE(wait_for([&] { return shown_seconds() > seconds; })) << time_field(screen());
    EXPECT_EQ(vt_row(screen(), 20, 42, 43), "[#");
    EXPECT_EQ(vt_row(screen(), 20, 76, 76), "]");
    type(client, "p");
    ASSERT_TRUE(wait_for([&] { return state_symbol(screen()) == "||"; }));
    type(client, "p");
    ASSERT_TRUE(wait_for([&] { return state_symbol(screen()) == "|>"; }));
    EXPECT_EQ(frame_problem(screen()), "");
}

TEST_F(Session, VolumeKeysAndClicksOnTheVolumeBarChangeTheVolume)
{
    launch();
    type(client, "=");
    ASSERT_TRUE(wait_for([&] { return volume_field(screen()) == " 73"; }));
    // One key at a time: commands carry no terminator, so two sent at once could reach the
    // core as one unknown command.
    type(client, "-");
    ASSERT_TRUE(wait_for([&] { return volume_field(screen()) == " 70"; }));
    type(client, "-");
    ASSERT_TRUE(wait_for([&] { return volume_field(screen()) == " 67"; }));
    EXPECT_EQ(volume_bar(screen()), "[########---]");
    // The middle of the eleven cells is half volume.
    ASSERT_TRUE(click_until(23, 65, [&] { return volume_field(screen()) == " 50"; }));
    EXPECT_EQ(volume_bar(screen()), "[######-----]");
    // The left bracket asks for less than nothing; the core keeps it at 0.
    ASSERT_TRUE(click_until(23, 59, [&] { return volume_field(screen()) == "  0"; }));
    EXPECT_EQ(volume_bar(screen()), "[-----------]");
}

// A quick tap, or a click over a slow link, brings the press and the release in one read.
TEST_F(Session, APressAndAReleaseArrivingTogetherStillClick)
{
    launch();
    mouse_press(client, 23, 65);
    mouse_release(client, 23, 65);
    ASSERT_TRUE(wait_for([&] { return volume_field(screen()) == " 50"; }));
    EXPECT_EQ(volume_bar(screen()), "[######-----]");
}

TEST_F(Session, HelpAndInfoScreensTakeTheListAreaAndGiveItBack)
{
    launch();
    type(client, "h");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 0) == "vesk-remote-ncurses ver:0.1"; }));
    EXPECT_EQ(list_text(screen(), 1), "vesk-core ver:0.1-sim");
    EXPECT_EQ(list_text(screen(), 3).rfind("quit:q  enter/play:RIGHT  stop:\\  pause:p", 0), 0u)
        << list_text(screen(), 3);
    EXPECT_EQ(frame_problem(screen()), "");
    type(client, "h");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 0) == root_first; }));

    open("/media/library/C64/Hubbard, Rob/Commando.sid");
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "Commando - Rob Hubbard"; }));
    // Three sub-songs: the first of them shows instead of a bit rate.
    EXPECT_EQ(format_field(screen()), " 44kHz   01/03   1ch");
    type(client, "i");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 5) == "Title:   Commando"; }));
    const char *info[] = {
        "",
        "Path:    /media/library/C64/Hubbard, Rob/Commando.sid",
        "File:    /media/library/C64/Hubbard, Rob/Commando.sid",
        "Player:  (5) SP2",
        "",
        "Title:   Commando",
        "Artist:  Rob Hubbard",
        "Album:   Elite",
        "Year:    1985",
        "Genre:   Game",
        "Comment: sub-songs: title, hiscore, game over",
    };
    for (int i = 0; i < 11; i++)
        EXPECT_EQ(list_text(screen(), i), info[i]) << "info row " << i;
    EXPECT_EQ(frame_problem(screen()), "");
    type(client, "i");
    ASSERT_TRUE(wait_for([&] {
        return list_text(screen(), 0) == "/media/library/C64/Hubbard, Rob/Commando.sid";
    }));
}

TEST_F(Session, AClickOnTheNextButtonPlaysTheNextClip)
{
    launch();
    open("/media/library/Amiga/Protracker/4mat - Eternity.mod");
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "Eternity - 4mat"; }));
    EXPECT_EQ(vt_cell_at(screen(), 1, 2).style.bg, 4);
    EXPECT_EQ(vt_row(screen(), 23, 14, 17), " >| ");
    ASSERT_TRUE(click_until(23, 15, [&] { return message_text(screen()) == "Elysium - Jester"; }));
    ASSERT_TRUE(wait_for([&] { return vt_cell_at(screen(), 2, 2).style.bg == 4; }));
    EXPECT_EQ(vt_cell_at(screen(), 1, 2).style.bg, 0);
    EXPECT_EQ(list_text(screen(), 1), "/media/library/Amiga/Protracker/Jester - Elysium.mod");
}

TEST_F(Session, OpenWithASearchWordShowsTheMatches)
{
    launch();
    type(client, "o");
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "open:"; }));
    type(client, "hubbard");
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "open: hubbard"; }));
    type(client, "\r");
    ASSERT_TRUE(wait_for_text(client, "/media/library/C64/Hubbard, Rob/Commando.sid", 1));
    EXPECT_EQ(vt_row(screen(), 0, 26, 52), "\u2524search: hubbard (2 found)\u251c");
    EXPECT_EQ(list_text(screen(), 1), "/media/library/C64/Hubbard, Rob/Monty on the Run.sid");
    EXPECT_EQ(list_text(screen(), 2), "");
}

TEST_F(Session, QuitExitsWithZeroAndSavesTheConfiguration)
{
    launch({}, 24, 80, {"-l", "2"});
    EXPECT_EQ(vt_row(screen(), 0, 0, 0), "+");
    EXPECT_FALSE(file_exists(conf_file_path(client)));
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
    EXPECT_FALSE(screen().altscreen);
    std::string saved = file_text(conf_file_path(client));
    for (const std::string &line :
         {std::string("lineart=2\n"), std::string("fullpath=2\n"),
          std::string("remote_host=127.0.0.1\n"), "remote_port=" + std::to_string(sim.port) + "\n",
          std::string("k_quit=q\n"), std::string("k_mup=UP\n")})
        EXPECT_NE(saved.find(line), std::string::npos) << line << "missing from:\n" << saved;
}

// The first run of a new user, without ~/.vesk: why nothing was saved stays on the terminal.
TEST_F(Session, QuitTellsOnTheRestoredTerminalWhyNothingWasSaved)
{
    launch({}, 24, 120);
    ASSERT_EQ(rmdir((client.home + "/.vesk").c_str()), 0);
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
    EXPECT_FALSE(screen().altscreen);
    std::string told = "save_conf: can't open for writing (" + conf_file_path(client) + ")";
    EXPECT_NE(vt_dump(screen()).find(told), std::string::npos) << vt_dump(screen());
}

// A file the user may write but not read holds what the defaults would lose: at quit it stays
// as it was, and the terminal says why.
TEST_F(Session, QuitLeavesAnUnreadableConfigurationAsItWasAndSaysWhy)
{
    if (!can_run_unprivileged())
        GTEST_SKIP() << "no unprivileged user can run the client here: root reads any file";
    const std::string text = "# bound by hand\nk_quit=x\n";
    client.conf_text = text;
    client.conf_mode = 0200;
    client.unprivileged = true;
    client.keep_output = true;
    launch();
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
    const std::string path = conf_file_path(client);
    EXPECT_NE(client.output.find("save_conf: (" + path +
                                 ") left as it was: it could not be read at start "
                                 "(Permission denied)"),
              std::string::npos)
        << client.output;
    EXPECT_EQ(file_text(path), text);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0200u);
}

// Ctrl-C, and Ctrl-\ beside the Stop key.
TEST_F(Session, InterruptAndQuitKeysExitWith255AndSaveNothing)
{
    launch();
    for (const auto &[key, report] : {std::pair{"\x03", "Caught signal: 2 (SIGINT)"},
                                      std::pair{"\x1c", "Caught signal: 3 "}}) {
        if (client.exited) {
            stop_client(client);
            start_client(client, sim.port, 24, 80);
            ASSERT_TRUE(wait_for([&] { return shows_root_list(screen()); }));
        }
        type(client, key);
        ASSERT_NO_FATAL_FAILURE(expect_exit(client, 255));
        EXPECT_FALSE(file_exists(conf_file_path(client)));
        EXPECT_FALSE(screen().altscreen);
        EXPECT_EQ(screen().mouse_mode, VTERM_PROP_MOUSE_NONE);
        EXPECT_NE(vt_dump(screen()).find(report), std::string::npos) << vt_dump(screen());
    }
}

TEST_F(Session, ResizeRedrawsAtTheNewSize)
{
    launch();
    resize(client, 30, 100);
    // The volume bar is drawn last.
    ASSERT_TRUE(wait_for([&] {
        return frame_problem(screen()).empty() && volume_bar(screen()) == "[########---]";
    })) << frame_problem(screen());
    EXPECT_EQ(vt_row(screen(), 0, 42, 57), "\u2524/media/library\u251c");
    EXPECT_EQ(list_text(screen(), 0), root_first);
    EXPECT_EQ(volume_field(screen()), " 70");
    // The progress bar spans the wider separator; nothing of the old bottom rows is left.
    EXPECT_EQ(vt_row(screen(), 26, 42, 42), "[");
    EXPECT_EQ(vt_row(screen(), 26, 96, 96), "]");
    for (int row = 19; row <= 23; row++)
        EXPECT_EQ(list_text(screen(), row - 1), "") << "row " << row;
    // Keys and the mouse work at once at the new size.
    press(client, VTERM_KEY_DOWN);
    ASSERT_TRUE(wait_for([&] { return cursor_on(1); }));
    ASSERT_TRUE(click_until(29, 85, [&] { return volume_field(screen()) == " 50"; }));

    resize(client, 12, 50);
    ASSERT_TRUE(wait_for([&] {
        return frame_problem(screen()).empty() && volume_bar(screen()) == "[######-----]";
    })) << frame_problem(screen());
    EXPECT_EQ(list_text(screen(), 0), root_first);
    EXPECT_EQ(volume_field(screen()), " 50");
    // Too narrow for a progress bar: the separator is a plain line.
    std::string separator;
    for (int i = 1; i <= 48; i++)
        separator += vt_hline;
    EXPECT_EQ(vt_row(screen(), 8, 1, 48), separator);
}

TEST_F(Session, CoreQuitLeavesTheClientRunningDisconnected)
{
    launch();
    type(client, "Q");
    ASSERT_TRUE(wait_for([&] {
        return message_text(screen()) == "disconnected." && list_text(screen(), 0).empty();
    }));
    EXPECT_EQ(vt_row(screen(), 0, 39, 40), "\u2524\u251c");
    EXPECT_EQ(frame_problem(screen()), "");
    // Keys still work; commands have nowhere to go and do no harm.
    type(client, "]=");
    type(client, "h");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 1) == "vesk-core ver:disconnected."; }));
    type(client, "h");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 1) == ""; }));
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
}

// The session scripts/memcheck runs under valgrind: lists loaded and replaced, a long one among
// them, a clip played, the core's quit and the user's.
TEST_F(Session, ListsLoadedAndReplacedUntilCoreQuitAndQuit)
{
    launch({"--big", "3000"});
    type(client, "9");
    ASSERT_TRUE(wait_for_text(client, "/media/library/Big/clip-0000000.mod", 1));
    press(client, VTERM_KEY_END);
    ASSERT_TRUE(wait_for_text(client, "/media/library/Big/clip-0002999.mod"));
    type(client, "/");
    ASSERT_TRUE(wait_for_text(client, root_first, 1));
    press(client, VTERM_KEY_DOWN);
    press(client, VTERM_KEY_ENTER);
    ASSERT_TRUE(wait_for_text(client, "/media/library/C64/Hubbard, Rob", 1));
    type(client, ";");
    ASSERT_TRUE(wait_for_text(client, "/media/library/C64/Hubbard, Rob/Commando.sid", 1));
    press(client, VTERM_KEY_ENTER);
    ASSERT_TRUE(wait_for([&] { return state_symbol(screen()) == "|>"; }));
    type(client, "i");
    ASSERT_TRUE(wait_for([&] { return list_text(screen(), 5) == "Title:   Commando"; }));
    type(client, "Q");
    ASSERT_TRUE(wait_for([&] { return message_text(screen()) == "disconnected."; }));
    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0, 20000));
}

} // namespace
