#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/text.h"
#include "screen/layout.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"
#include "screen_fixture.h"

namespace {

struct PanelTest : screen_test {
    void SetUp() override
    {
        screen_test::SetUp();
        setenv("USER", "panel-user", 1);
        std::filesystem::remove_all(now_playing_dir());
    }

    std::string now_playing_dir() { return std::string(test_tmp_dir()) + "/vesk-panel-user"; }
    std::string now_playing_path() { return now_playing_dir() + "/vesk-now-playing.txt"; }

    void make_dir(mode_t mode)
    {
        mkdir(now_playing_dir().c_str(), 0700);
        chmod(now_playing_dir().c_str(), mode);
    }

    void set_tags(const char *title, const char *artist, const char *year, const char *comment)
    {
        player_state &p = conf.player;
        zt_strncpy(p.title, title, sizeof p.title - 1);
        zt_strncpy(p.artist, artist, sizeof p.artist - 1);
        zt_strncpy(p.year, year, sizeof p.year - 1);
        zt_strncpy(p.comment, comment, sizeof p.comment - 1);
    }
};

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

TEST_F(PanelTest, StatusRowFieldsAtTheirColumns)
{
    player_state &p = conf.player;
    p.s_cur = 75;
    p.s_dur = 200;
    p.freq = 44100;
    p.bitrate = 320;
    p.chan = 2;
    p.effects = 0x20 | 0x04;
    p.eq = 1;
    p.shuffle = 1;
    p.repeat = 2;
    p.vol = 5;
    p.state = 3;
    open_test_screen(24, 80);
    EXPECT_EQ(screen_row(22), "     1:15 [  3:20]  44kHz  320kb/s  2ch  "
                              "Eff [K  C  E]  Shf [s]  Rep [1]    5%  ");
    EXPECT_EQ(screen_row(21, 0, 4), "  |> ");
    EXPECT_EQ(screen_row(23, 59, 71), "[#----------]");
    for (int x : {2, 8, 11, 16, 19, 38, 61, 70, 74, 76})
        EXPECT_EQ(cell_pair(22, x), 4) << "column " << x;
    for (int x : {9, 10, 17, 41, 60, 77})
        EXPECT_EQ(cell_pair(22, x), 3) << "column " << x;
    EXPECT_EQ(cell_pair(22, 46), 2);  // the effect letters keep the screen colour
    EXPECT_EQ(cell_pair(23, 60), 2);

    conf.timeremaining_mode = 1;
    draw_time();
    EXPECT_EQ(screen_row(22, 2, 8), "-  2:05");
    p.s_dur = -1;  // after a disconnect
    draw_time();
    draw_total_time();
    EXPECT_EQ(screen_row(22, 2, 17), "   1:15 [   :  ]");
    p.s_cur = -1;
    draw_time();
    EXPECT_EQ(screen_row(22, 2, 8), "    :  ");

    p.freq = 0;
    p.chan = 0;
    p.bitrate = (5 << 16) | 2;
    draw_format();
    EXPECT_EQ(screen_row(22, 19, 39), " --___   03/05  --__ ");

    p.shuffle = 7;
    p.repeat = 0;
    draw_shuffle();
    draw_repeat();
    EXPECT_EQ(screen_row(22, 61, 61), "?");
    EXPECT_EQ(screen_row(22, 70, 70), " ");
    p.effects = 0;
    p.eq = 0;
    draw_effects();
    EXPECT_EQ(screen_row(22, 45, 53), "[       ]");

    p.state = 99;  // no symbol: the old one stays
    draw_state();
    EXPECT_EQ(screen_row(21, 2, 3), "|>");
    p.state = 4;
    draw_state();
    EXPECT_EQ(screen_row(21, 2, 3), "||");
}

TEST_F(PanelTest, VolumeBars)
{
    conf.lineart = 1;
    open_test_screen(24, 80);
    const int values[] = {0, 5, 100, -4};
    const char *bars[] = {"[-----------]", "[#----------]", "[###########]", "[-----------]"};
    const char *numbers[] = {"  0%", "  5%", "100%", " -4%"};
    for (int i = 0; i < 4; i++) {
        conf.player.vol = values[i];
        draw_volume();
        EXPECT_EQ(screen_row(23, 59, 71), bars[i]);
        EXPECT_EQ(screen_row(22, 74, 77), numbers[i]);
    }
    EXPECT_EQ(screen_row(23, 72, 78), "- -  + ");
}

TEST_F(PanelTest, ProgressBarFollowsTheWidth)
{
    conf.lineart = 1;
    conf.player.s_cur = 50;
    conf.player.s_dur = 200;
    open_test_screen(24, 80);
    EXPECT_EQ(screen_row(20, 41, 77), "-[#########------------------------]-");
    conf.player.s_dur = 0;
    draw_time();
    EXPECT_EQ(screen_row(20, 42, 76), "[" + std::string(33, '-') + "]");

    resize_test_screen(24, 51);
    EXPECT_EQ(screen_row(20), "`" + std::string(49, '-') + "'");
    EXPECT_EQ(conf.click_regions[2].code, 0);
    draw_time();
    EXPECT_EQ(screen_row(20), "`" + std::string(49, '-') + "'");

    conf.player.s_dur = 200;
    resize_test_screen(24, 52);
    EXPECT_EQ(screen_row(20, 41, 51), "-[##---]--'");
}

TEST_F(PanelTest, ListTitleCentredOrCut)
{
    conf.lineart = 1;
    open_test_screen(24, 80);
    set_list_title("Music");
    EXPECT_EQ(screen_row(0, 30, 50), "------+Music+--------");
    set_list_title("ab");  // the longer title is gone
    EXPECT_EQ(screen_row(0, 30, 50), "--------+ab+---------");
    EXPECT_EQ(screen_row(0, 64, 79).find('['), std::string::npos);  // clock waits for the time
    draw_time();
    EXPECT_EQ(screen_row(0, 64, 64), "[");

    std::string longer;
    for (int i = 0; i < 10; i++)
        longer += std::to_string(i) + "abcdefghi";
    set_list_title(longer.c_str());
    EXPECT_EQ(screen_row(0, 0, 4), ".+...");
    EXPECT_EQ(screen_row(0, 5, 77), longer.substr(100 - 73));
    EXPECT_EQ(screen_row(0, 78, 79), "+.");

    std::string fits(76, 'f');
    set_list_title(fits.c_str());
    EXPECT_EQ(screen_row(0), ".+" + fits + "+.");
    set_list_title("");
    EXPECT_EQ(screen_row(0, 38, 41), "-++-");
    EXPECT_STREQ(conf.player.list_name, "");

    set_list_title(std::string(300, 't').c_str());
    EXPECT_EQ(strlen(conf.player.list_name), 255u);
}

TEST_F(PanelTest, ButtonsAndTheirRegions)
{
    conf.lineart = 2;
    open_test_screen(24, 80);
    EXPECT_EQ(screen_row(1, 78, 78), "/");
    EXPECT_EQ(screen_row(2, 78, 78), "=");
    EXPECT_EQ(screen_row(18, 78, 78), "=");
    EXPECT_EQ(screen_row(19, 78, 78), "\\");
    EXPECT_EQ(screen_row(23, 0, 40), "+- |<  |>  []  >|  ^^ - <<  >> - ..  MR -");
    EXPECT_EQ(conf.click_regions[0].code, -1);
    EXPECT_EQ(conf.click_regions[5].code, region_volume_bar);
    resize_test_screen(30, 120);
    EXPECT_EQ(conf.click_regions[0].x1, 112);
    EXPECT_EQ(conf.click_regions[2].x2, 116);
    EXPECT_EQ(conf.click_regions[1].y2, 25);
}

TEST_F(PanelTest, NowPlayingOnScreenAndInTheFile)
{
    make_dir(0700);
    add("song");
    set_tags("A", "B", "1999", "c");
    open_test_screen(24, 80);
    EXPECT_EQ(screen_row(21, 5, 79), "A - B (1999, c)" + std::string(60, ' '));
    EXPECT_EQ(cell_pair(21, 5), 4);
    EXPECT_EQ(cell_pair(21, 77), 4);
    EXPECT_EQ(file_text(now_playing_path()), "A - B (1999, c)");
    EXPECT_STREQ(conf.message, "A - B (1999, c)");

    // The same text again, at a redraw or from the loop, leaves the file as it is.
    ASSERT_EQ(chmod(now_playing_path().c_str(), 0600), 0);
    struct stat before;
    ASSERT_EQ(stat(now_playing_path().c_str(), &before), 0);
    show_now_playing();
    follow_now_playing();
    struct stat after;
    ASSERT_EQ(stat(now_playing_path().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // A shorter text replaces the file, by another one of the same mode, and the row completely.
    set_tags("Z", "", "", "");
    set_message("an older and much longer message");
    show_now_playing();
    EXPECT_EQ(screen_row(21, 5, 79), "Z" + std::string(74, ' '));
    EXPECT_EQ(file_text(now_playing_path()), "Z");
    ASSERT_EQ(stat(now_playing_path().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0600u);

    // Raw bytes go to the file, printable ones to the screen.
    set_tags("caf\xc3\xa9\tx", "", "", "");
    show_now_playing();
    EXPECT_EQ(screen_row(21, 5, 12), "caf???x ");
    EXPECT_EQ(file_text(now_playing_path()), "caf\xc3\xa9\tx");

    std::string wide(39, 'w');
    set_tags(wide.c_str(), wide.c_str(), "", wide.c_str());
    show_now_playing();
    EXPECT_EQ(screen_row(21, 5, 77), std::string(conf.message, 73));
    EXPECT_EQ(screen_row(21, 78, 79), "  ");
}

// A status bar reading the file while the clip changes finds the old text or the new one, and
// no file is left beside it.
TEST_F(PanelTest, NowPlayingFileIsNeverSeenEmpty)
{
    make_dir(0700);
    add("song");
    set_tags("first title", "", "", "");
    open_test_screen(24, 80);
    std::atomic<bool> writing = true;
    std::atomic<int> reads = 0;
    std::atomic<int> empty_reads = 0;
    std::thread reader([&] {
        for (; writing; reads++)
            if (file_text(now_playing_path()).empty())
                empty_reads++;
    });
    for (int i = 0; i < 1000; i++) {
        set_tags(i % 2 ? "first title" : "second title", "", "", "");
        show_now_playing();
    }
    writing = false;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(empty_reads, 0) << "of " << reads << " reads";
    auto entries = std::filesystem::directory_iterator(now_playing_dir());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

TEST_F(PanelTest, NowPlayingNeedsAnEntryAndTags)
{
    make_dir(0700);
    fill(3);
    open_test_screen(24, 80);
    set_message("kept");
    show_now_playing();  // no tags
    EXPECT_EQ(screen_row(21, 5, 8), "kept");
    set_tags("A", "", "", "");
    conf.list.cur = 3;  // past the list
    show_now_playing();
    conf.list.cur = -1;
    show_now_playing();
    conf.list.cur = 1;
    conf.list.index[1] = nullptr;  // not received yet
    show_now_playing();
    EXPECT_EQ(screen_row(21, 5, 8), "kept");
    EXPECT_FALSE(exists(now_playing_path()));
    conf.list.cur = 2;
    show_now_playing();
    EXPECT_EQ(screen_row(21, 5, 8), "A   ");
    EXPECT_TRUE(exists(now_playing_path()));
}

TEST_F(PanelTest, NowPlayingFileOnlyInAPrivateDirectoryAndNeverThroughALink)
{
    add("song");
    set_tags("A", "B", "1999", "c");
    open_test_screen(24, 80);
    show_now_playing();  // no directory: none is made
    EXPECT_FALSE(exists(now_playing_dir()));
    EXPECT_EQ(screen_row(21, 5, 19), "A - B (1999, c)");

    make_dir(0770);  // others may write into it
    show_now_playing();
    EXPECT_FALSE(exists(now_playing_path()));
    make_dir(0702);
    show_now_playing();
    EXPECT_FALSE(exists(now_playing_path()));

    // A link planted where the file belongs is left alone, and so is what it points at.
    make_dir(0700);
    std::string target = std::string(test_tmp_dir()) + "/target";
    { std::ofstream(target) << "keep"; }
    ASSERT_EQ(symlink(target.c_str(), now_playing_path().c_str()), 0);
    show_now_playing();
    EXPECT_EQ(file_text(target), "keep");
    struct stat st;
    ASSERT_EQ(lstat(now_playing_path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    unlink(now_playing_path().c_str());

    // Nor is the directory itself reached through a link.
    rmdir(now_playing_dir().c_str());
    std::string real_dir = std::string(test_tmp_dir()) + "/real";
    mkdir(real_dir.c_str(), 0700);
    ASSERT_EQ(symlink(real_dir.c_str(), now_playing_dir().c_str()), 0);
    show_now_playing();
    EXPECT_FALSE(exists(real_dir + "/vesk-now-playing.txt"));

    // Something that is not a plain file is not written to (and a pipe does not block us).
    unlink(now_playing_dir().c_str());
    make_dir(0700);
    ASSERT_EQ(mkfifo(now_playing_path().c_str(), 0600), 0);
    show_now_playing();
    ASSERT_EQ(lstat(now_playing_path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(PanelTest, NowPlayingFileNamedByTheAccountWithoutUser)
{
    passwd *account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    std::string dir = std::string(test_tmp_dir()) + "/vesk-" + account->pw_name;
    mkdir(dir.c_str(), 0700);
    unsetenv("USER");
    add("song");
    set_tags("A", "", "", "");
    open_test_screen(24, 80);
    EXPECT_EQ(file_text(dir + "/vesk-now-playing.txt"), "A");

    setenv("USER", "../x", 1);  // a name that would leave the directory is not used
    set_tags("B", "", "", "");
    show_now_playing();
    EXPECT_FALSE(exists(std::string(test_tmp_dir()) + "/x/vesk-now-playing.txt"));
    EXPECT_EQ(file_text(dir + "/vesk-now-playing.txt"), "A");
}

} // namespace
