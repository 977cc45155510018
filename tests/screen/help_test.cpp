#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "config/key_table.h"
#include "input/dispatch.h"
#include "screen/help.h"
#include "screen_fixture.h"

namespace {

const std::string keys_ruler = "-- keys: " + std::string(135, '-');
const std::string vars_ruler = "-- vars: " + std::string(135, '-');

// The thirteen help rows with the default bindings, before any cut.
const std::vector<std::string> default_help_rows = {
    "vesk-remote-ncurses ver:0.1",
    "vesk-core ver:disconnected.",
    keys_ruler,
    "quit:q  enter/play:RIGHT  stop:\\  pause:p  prev:[  next:]  rwnd:,  ffwd:.",
    "go-parent:LEFT  up:UP  down:DOWN  pgup:PGUP  pgdn:PGDOWN  home:HOME  end:END",
    "vol-:-  vol+:= repeat:r  shuffle:s  vids:v  pathtype:f",
    "corequit:Q  help:h  info:i  look-for:l  make-recursive-list:;  open:o",
    "tog_eq:E  tog_flanger:F  tog_earwax:W  tog_contrast:C  tog_reverb:V",
    "tog_overdrive:O  tog_karaoke:K",
    "copy-to-fav:INSERT  delete-file:DELETE  scrob-love:u  scrob-on/off:U",
    "goto-fav[0-9]:0,1,2,3,4,5,6,7,8,9  set-fav[0-9]:),!,@,#,$,%,^,&,*,(",
    vars_ruler,
    "host:127.0.0.1  port:44322  scrobbler:1",
};

// The list area as a screen shows it: cut to lw - 1 characters, blank up to lw columns.
std::string as_shown(const std::string &text, int lw)
{
    std::string cut = text.substr(0, (size_t)lw - 1);
    return cut + std::string((size_t)lw - cut.size(), ' ');
}

struct HelpScreen : screen_test {
    void SetUp() override
    {
        screen_test::SetUp();
        clear_bindings();
        bind_default_keys();
        snprintf(conf.remote_host, sizeof conf.remote_host, "127.0.0.1");
        conf.remote_port = 44322;
        conf.player.scrob = 1;
        snprintf(conf.player.core_version, sizeof conf.player.core_version, "disconnected.");
    }

    std::string list_row(int r) { return screen_row(1 + r, 2, 1 + conf.lw); }
};

TEST_F(HelpScreen, RowsAtEightyColumns)
{
    open_test_screen(24, 80);
    draw_help();
    ASSERT_EQ(conf.lw, 76);
    for (int r = 0; r < help_row_count; r++) {
        EXPECT_EQ(list_row(r), as_shown(default_help_rows[r], conf.lw)) << "row " << r;
        EXPECT_EQ(cell_pair(1 + r, 2), 5) << "row " << r;
        EXPECT_EQ(cell_pair(1 + r, 1 + conf.lw), 5) << "row " << r;
    }
    for (int r = help_row_count; r < conf.lh; r++)
        EXPECT_EQ(list_row(r), std::string(76, ' ')) << "row " << r;
    EXPECT_EQ(conf.list.top, top_help_screen);
}

TEST_F(HelpScreen, RowsOnANarrowPanelAreCutAndUnboundKeysLeaveAGap)
{
    bind_key(1, "");
    open_test_screen(24, 24);
    ASSERT_EQ(conf.lw, 20);
    draw_help();
    EXPECT_EQ(list_row(2), "-- keys: ---------- ");
    EXPECT_EQ(list_row(3), "quit:  enter/play:R ");
    for (int r = 0; r < help_row_count; r++) {
        std::string text = r == 3 ? "quit:  enter/play:RIGHT" : default_help_rows[r];
        EXPECT_EQ(list_row(r), as_shown(text, conf.lw)) << "row " << r;
    }
}

TEST_F(HelpScreen, ShortListAreaShowsOnlyTheRowsThatFit)
{
    open_test_screen(10, 80);
    ASSERT_EQ(conf.lh, 5);
    draw_help();
    EXPECT_EQ(list_row(4), as_shown(default_help_rows[4], conf.lw));
    EXPECT_EQ(screen_row(6).find("vol-:"), std::string::npos);
}

TEST_F(HelpScreen, NothingIsDrawnWithoutPanelWidth)
{
    open_test_screen(24, 80);
    conf.lw = 0;
    conf.list.top = 0;
    std::string before = screen_row(1);
    draw_help();
    draw_info();
    EXPECT_EQ(screen_row(1), before);
    EXPECT_EQ(conf.list.top, 0);
}

TEST_F(HelpScreen, HelpInfoAndListToggleThroughTop)
{
    fill(40);
    open_test_screen(24, 80);
    conf.list.pos = 25;
    draw_help();
    EXPECT_EQ(conf.list.top, top_help_screen);
    draw_info();
    EXPECT_EQ(conf.list.top, top_info_screen);
    draw_help();
    EXPECT_EQ(conf.list.top, top_help_screen);
    draw_help();                                       // back to the list, centred on the cursor
    EXPECT_EQ(conf.list.pos, 25);
    EXPECT_EQ(conf.list.top, 25 - conf.lh / 2);
    EXPECT_EQ(screen_row(1 + 25 - conf.list.top, 2, 9), "entry 25");
    draw_info();
    draw_info();
    EXPECT_GE(conf.list.top, 0);
    EXPECT_EQ(screen_row(1 + 25 - conf.list.top, 2, 9), "entry 25");
    // Go top leaves either screen like any movement, also when the list was at its top already.
    cursor_top();
    for (void (*screen)() : {draw_help, draw_info}) {
        screen();
        cursor_top();
        EXPECT_EQ(conf.list.top, 0);
        EXPECT_EQ(screen_row(1, 2, 8) + screen_row(4, 2, 8), "entry 0entry 3");
        screen();
        EXPECT_LT(conf.list.top, 0);   // opens again rather than closing
    }
}

struct InfoScreen : screen_test {
    std::string list_row(int r) { return screen_row(1 + r, 2, 1 + conf.lw); }
    // A short row as the screen shows it: the text, then blanks to the panel width.
    std::string shown(const std::string &text)
    {
        return text + std::string((size_t)conf.lw - text.size(), ' ');
    }
};

TEST_F(InfoScreen, ShowsTheCurrentEntryAndTheTags)
{
    add("mods", -1);
    add("mods/song.mod", 4);
    conf.list.cur = 1;
    snprintf(conf.player.title, sizeof conf.player.title, "A\tB\xc3\xa9");
    snprintf(conf.player.artist, sizeof conf.player.artist, "Band");
    snprintf(conf.player.year, sizeof conf.player.year, "1999");
    snprintf(conf.player.comment, sizeof conf.player.comment, "c");
    open_test_screen(24, 80);
    draw_info();
    std::vector<std::string> rows = {
        "",
        "Path:    mods/song.mod",
        "File:    mods/song.mod",
        "Player:  (4) XMP",
        "",
        "Title:   A?B??",
        "Artist:  Band",
        "Album:   ",
        "Year:    1999",
        "Genre:   ",
        "Comment: c",
    };
    for (int r = 0; r < conf.lh; r++) {
        EXPECT_EQ(list_row(r), shown(r < (int)rows.size() ? rows[r] : "")) << "row " << r;
        EXPECT_EQ(cell_pair(1 + r, 2), 3) << "row " << r;
        EXPECT_EQ(cell_pair(1 + r, 1 + conf.lw), 3) << "row " << r;
    }
    EXPECT_EQ(conf.list.top, top_info_screen);
}

TEST_F(InfoScreen, PlayerRowForDirectoriesAndUnknownPlayers)
{
    add("dir", -1);
    add("odd.bin", 30);
    open_test_screen(24, 80);
    draw_info();
    EXPECT_EQ(list_row(3), shown("Player:  (0) U0"));
    conf.list.top = 0;
    conf.list.cur = 1;
    draw_info();
    EXPECT_EQ(list_row(3), shown("Player:  (30) ?"));
    EXPECT_STREQ(player_name(11), "ADPLUG");
    EXPECT_STREQ(player_name(22), "U22");
    EXPECT_STREQ(player_name(23), "?");
    EXPECT_STREQ(player_name(-1), "?");
}

TEST_F(InfoScreen, NoEntryAtCurLeavesPathFileAndPlayerBlank)
{
    snprintf(conf.player.title, sizeof conf.player.title, "T");
    open_test_screen(24, 80);
    draw_info();                                       // empty list
    for (int r = 1; r <= 3; r++)
        EXPECT_EQ(list_row(r), std::string(76, ' ')) << "row " << r;
    EXPECT_EQ(list_row(5), shown("Title:   T"));

    add("one.mod", 1);
    conf.list.cur = 1;                                 // past the end
    conf.list.top = 0;
    draw_info();
    EXPECT_EQ(list_row(1), std::string(76, ' '));
    EXPECT_EQ(list_row(3), std::string(76, ' '));
}

TEST_F(InfoScreen, LongRowsAreCutWhileThePaintCoversThePanel)
{
    add(std::string(2000, 'p'), 1);
    open_test_screen(24, 1100);
    ASSERT_EQ(conf.lw, 1096);
    draw_info();
    std::string row = list_row(1);
    EXPECT_EQ(row.substr(0, 1022), "Path:    " + std::string(1013, 'p'));
    EXPECT_EQ(row.substr(1022), std::string(1096 - 1022, ' '));
    EXPECT_EQ(cell_pair(2, 1 + conf.lw), 3);
}

} // namespace
