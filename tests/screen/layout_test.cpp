#include <climits>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "base/text.h"
#include "screen/layout.h"
#include "screen/panel.h"
#include "screen/status_text.h"
#include "test_support.h"

namespace {

std::string bar(int width, int value)
{
    char buf[256];
    bar_text(buf, sizeof buf, width, value);
    return buf;
}

TEST(ScrollView, ClampsAndCentresOnlyWhenTheCursorLeavesTheView)
{
    // 100 entries in 19 rows.
    list_view v = scroll_view_for(150, 0, 19, 100);
    EXPECT_EQ(v.pos, 99);
    EXPECT_EQ(v.top, 81);  // the view ends with the last entry
    v = scroll_view_for(-5, 81, 19, 100);
    EXPECT_EQ(v.pos, 0);
    EXPECT_EQ(v.top, 0);
    v = scroll_view_for(91, 0, 19, 100);
    EXPECT_EQ(v.pos, 91);
    EXPECT_EQ(v.top, 81);
    // Inside the view nothing scrolls, even at its last row.
    v = scroll_view_for(23, 5, 19, 100);
    EXPECT_EQ(v.top, 5);
    // The first step past the last row puts the cursor on the middle row.
    v = scroll_view_for(19, 0, 19, 100);
    EXPECT_EQ(v.top, 10);
    EXPECT_EQ(v.pos - v.top, 19 / 2);
    // A step above the first row does the same.
    v = scroll_view_for(49, 50, 19, 100);
    EXPECT_EQ(v.top, 40);
    // With 20 rows as well.
    EXPECT_EQ(scroll_view_for(91, 0, 20, 100).top, 80);
    EXPECT_EQ(scroll_view_for(150, 0, 20, 100).top, 80);
}

TEST(ScrollView, ShortEmptyAndHiddenLists)
{
    list_view v = scroll_view_for(4, 0, 19, 5);
    EXPECT_EQ(v.pos, 4);
    EXPECT_EQ(v.top, 0);
    v = scroll_view_for(3, 7, 19, 5);  // a view that lies past a shorter new list
    EXPECT_EQ(v.top, 0);
    v = scroll_view_for(0, 0, 19, 0);
    EXPECT_EQ(v.pos, -1);
    EXPECT_EQ(v.top, 0);
    // The help screen's negative top is replaced even when the position would look visible.
    v = scroll_view_for(5, -2, 19, 100);
    EXPECT_EQ(v.top, 0);
    v = scroll_view_for(60, -3, 19, 100);
    EXPECT_EQ(v.top, 51);
    // No list rows at all: top stays a valid position.
    for (int lh : {0, -1, -4}) {
        v = scroll_view_for(50, 0, lh, 100);
        EXPECT_EQ(v.pos, 50);
        EXPECT_GE(v.top, 0);
        EXPECT_LT(v.top, 100);
    }
}

TEST(ScrollBar, ThumbRunsBetweenTheArrows)
{
    EXPECT_EQ(thumb_row_for(-1, 19, 0), 0);
    EXPECT_EQ(thumb_row_for(0, 19, 100), 3);
    EXPECT_EQ(thumb_row_for(99, 19, 100), 17);  // lh - 2
    EXPECT_EQ(thumb_row_for(50, 19, 100), 10);
    // A full index on a very tall terminal does not overflow.
    EXPECT_EQ(thumb_row_for(list_capacity - 1, 10000, list_capacity), 9998);
}

TEST(RowStyle, DirectoriesPlayingEntryAndCursor)
{
    EXPECT_EQ(row_style(-1, 3, 0, 5), style_dir);
    EXPECT_EQ(row_style(-1, 3, 3, 5), style_dir_cursor);
    EXPECT_EQ(row_style(-1, 5, 0, 5), style_dir);  // a directory never takes the playing colour
    EXPECT_EQ(row_style(-1, 5, 5, 5), style_dir_cursor);
    EXPECT_EQ(row_style(2, 5, 0, 5), style_playing);
    EXPECT_EQ(row_style(0, 5, 5, 5), style_playing_cursor);
    EXPECT_EQ(row_style(0, 4, 0, 5), style_file);
    EXPECT_EQ(row_style(0, 4, 4, 5), style_file_cursor);
}

TEST(ClickRegions, FixedOrderAt80x24)
{
    click_region r[click_region_count];
    build_click_regions(r, 24, 80);
    const int codes[click_region_count] = {-1,  -777, -776, -9,  -10, -779, -778, -19, -13, -5,
                                           -4,  -2,   -6,   -28, -7,  -8,   -14,  -15, -61, -60,
                                           -33, -34,  -35,  -36, -37, 0,    -25,  -23};
    for (int i = 0; i < click_region_count; i++)
        EXPECT_EQ(r[i].code, codes[i]) << "entry " << i;
    auto rect = [](const click_region &c) {
        return std::to_string(c.x1) + ".." + std::to_string(c.x2) + "," + std::to_string(c.y1) +
               ".." + std::to_string(c.y2);
    };
    EXPECT_EQ(rect(r[0]), "72..80,0..0");
    EXPECT_EQ(rect(r[1]), "2..77,1..19");
    EXPECT_EQ(rect(r[2]), "42..76,20..20");
    EXPECT_EQ(rect(r[3]), "73..75,20..23");
    EXPECT_EQ(rect(r[4]), "76..78,20..23");
    EXPECT_EQ(rect(r[5]), "59..71,23..23");
    EXPECT_EQ(rect(r[6]), "78..79,3..17");
    EXPECT_EQ(rect(r[7]), "78..79,1..2");
    EXPECT_EQ(rect(r[8]), "78..79,18..19");
    EXPECT_EQ(rect(r[9]), "2..5,20..23");
    EXPECT_EQ(rect(r[13]), "18..21,20..23");
    EXPECT_EQ(rect(r[14]), "23..26,20..23");
    EXPECT_EQ(rect(r[17]), "36..39,20..23");
    EXPECT_EQ(rect(r[18]), "46..46,21..23");
    EXPECT_EQ(rect(r[24]), "52..52,21..23");
    EXPECT_EQ(rect(r[25]), "-1..-1,-1..-1");
    EXPECT_EQ(rect(r[26]), "60..62,21..23");
    EXPECT_EQ(rect(r[27]), "69..71,21..23");
    EXPECT_STREQ(region_label(0, false), "[x]");
    EXPECT_STREQ(region_label(5, false), "[01234567890]");
    EXPECT_STREQ(region_label(8, true), "\\");
    EXPECT_STREQ(region_label(17, true), " MR ");
    EXPECT_EQ(region_label(1, false), nullptr);
    EXPECT_EQ(region_label(28, false), nullptr);
}

TEST(ClickRegions, SeekRegionFollowsTheWidthWithinLimits)
{
    click_region r[click_region_count];
    build_click_regions(r, 24, 51);
    EXPECT_EQ(r[2].code, 0);
    EXPECT_EQ(r[2].x1, -1);
    EXPECT_EQ(r[2].y2, -1);
    EXPECT_EQ(progress_width(r[2]), 0);
    build_click_regions(r, 24, 52);
    EXPECT_EQ(r[2].code, region_seek_bar);
    EXPECT_EQ(progress_width(r[2]), 5);
    build_click_regions(r, 24, 80);
    EXPECT_EQ(progress_width(r[2]), 33);
    build_click_regions(r, 24, 400);
    EXPECT_EQ(r[2].x2, 229);
    EXPECT_EQ(progress_width(r[2]), 186);
}

TEST(TitleSpan, CentredOrCutToItsTail)
{
    title_span s = title_span_for(5, 80);
    EXPECT_EQ(s.start, 37);
    EXPECT_EQ(s.width, 5);
    EXPECT_FALSE(s.cut);
    s = title_span_for(0, 80);
    EXPECT_EQ(s.start, 40);
    EXPECT_EQ(s.width, 0);
    s = title_span_for(76, 80);  // just fits
    EXPECT_FALSE(s.cut);
    EXPECT_EQ(s.start, 2);
    s = title_span_for(100, 80);
    EXPECT_TRUE(s.cut);
    EXPECT_EQ(s.start, 2);
    EXPECT_EQ(s.width, 76);
    EXPECT_EQ(s.skip, 100 - 73);
    // Narrower than "..." and a character: the cut never reaches past the title's end.
    for (int cols = 1; cols < 8; cols++) {
        s = title_span_for(10, cols);
        EXPECT_TRUE(s.cut);
        EXPECT_GE(s.width, 0);
        EXPECT_LE(s.skip, 10);
    }
}

TEST(Bar, CellsFollowTheValue)
{
    EXPECT_EQ(bar(11, 0), "[-----------]");
    EXPECT_EQ(bar(11, 5), "[#----------]");
    EXPECT_EQ(bar(11, 100), "[###########]");
    EXPECT_EQ(bar(11, -20), "[-----------]");
    EXPECT_EQ(bar(11, 250), "[###########]");
    EXPECT_EQ(bar(33, 25), "[#########------------------------]");
    EXPECT_EQ(bar(0, 50), "");
    char small[5];
    bar_text(small, sizeof small, 11, 50);  // does not fit: nothing
    EXPECT_STREQ(small, "");
}

TEST(Progress, PercentIsSafeForAnyFloat)
{
    EXPECT_EQ(progress_percent(50, 200), 25);
    EXPECT_EQ(progress_percent(199.9f, 200), 99);
    EXPECT_EQ(progress_percent(50, 0), 0);
    EXPECT_EQ(progress_percent(50, -1), 0);
    EXPECT_EQ(progress_percent(NAN, 200), 0);
    EXPECT_EQ(progress_percent(50, NAN), 0);
    EXPECT_EQ(progress_percent(3e38f, 1e-30f), INT_MAX);
    EXPECT_EQ(whole_seconds(-1e30), INT_MIN);
    EXPECT_EQ(whole_seconds(INFINITY), INT_MAX);
    EXPECT_EQ(whole_seconds(-75.9), -75);
}

std::string time_text(float cur, float dur, int mode)
{
    char buf[32];
    format_time(buf, sizeof buf, cur, dur, mode);
    return buf;
}

std::string total_text(float dur)
{
    char buf[32];
    format_total_time(buf, sizeof buf, dur);
    return buf;
}

std::string audio_text(int freq, int bitrate, int chan)
{
    char buf[64];
    format_audio(buf, sizeof buf, freq, bitrate, chan);
    return buf;
}

TEST(StatusText, Times)
{
    EXPECT_EQ(time_text(75, 0, 0), "   1:15");
    EXPECT_EQ(time_text(75, 200, 1), "-  2:05");
    EXPECT_EQ(time_text(75, -1, 1), "   1:15");  // no duration after a disconnect
    EXPECT_EQ(time_text(201, 200, 1), "   3:21");
    EXPECT_EQ(time_text(-1, 200, 0), "    :  ");
    EXPECT_EQ(time_text(NAN, 200, 0), "   0:00");
    EXPECT_EQ(time_text(3e38f, 0, 0).substr(0, 9), " 35791394");  // held in range, not undefined
    EXPECT_EQ(total_text(0), "   :  ");
    EXPECT_EQ(total_text(-1), "   :  ");
    EXPECT_EQ(total_text(200.7f), "  3:20");
    EXPECT_EQ(total_text(NAN), "   :  ");
}

TEST(StatusText, AudioFormat)
{
    EXPECT_EQ(audio_text(44100, 320, 2), " 44kHz  320kb/s  2ch ");
    EXPECT_EQ(audio_text(0, 0, 0), " --___   --/--  --__ ");
    EXPECT_EQ(audio_text(-5, -1, -2), " --___   --/--  --__ ");
    EXPECT_EQ(audio_text(8000, (5 << 16) | 2, 1), "  8kHz   03/05   1ch ");
    // Over-wide numbers are cut to their fields.
    EXPECT_EQ(audio_text(2000000000, 65535, 123456), " 200000 65535kb/ 1234 ");
}

TEST(StatusText, LettersAndSymbols)
{
    char letters[8];
    format_effects(letters, 0x3f, 1);
    EXPECT_STREQ(letters, "KORCWFE");
    format_effects(letters, 0x20 | 0x01, 0);
    EXPECT_STREQ(letters, "K    F ");
    format_effects(letters, 0x08, 0);
    EXPECT_STREQ(letters, "  R    ");
    EXPECT_EQ(shuffle_letter(0), ' ');
    EXPECT_EQ(shuffle_letter(1), 's');
    EXPECT_EQ(shuffle_letter(2), 'S');
    EXPECT_EQ(shuffle_letter(3), '?');
    EXPECT_EQ(shuffle_letter(-1), '?');
    EXPECT_EQ(repeat_letter(0), ' ');
    EXPECT_EQ(repeat_letter(1), 'r');
    EXPECT_EQ(repeat_letter(2), '1');
    EXPECT_EQ(repeat_letter(3), ' ');
    EXPECT_STREQ(state_symbol(0), "><");
    EXPECT_STREQ(state_symbol(3), "|>");
    EXPECT_STREQ(state_symbol(12), "|]");
    EXPECT_STREQ(state_symbol(14), "_|");
    EXPECT_EQ(state_symbol(7), nullptr);
    EXPECT_EQ(state_symbol(-1), nullptr);
}

std::string now_playing(const char *title, const char *artist, const char *year,
                        const char *album, const char *comment)
{
    player_state p{};
    zt_strncpy(p.title, title, sizeof p.title - 1);
    zt_strncpy(p.artist, artist, sizeof p.artist - 1);
    zt_strncpy(p.year, year, sizeof p.year - 1);
    zt_strncpy(p.album, album, sizeof p.album - 1);
    zt_strncpy(p.comment, comment, sizeof p.comment - 1);
    char buf[256];
    format_now_playing(buf, sizeof buf, p);
    return buf;
}

TEST(StatusText, NowPlaying)
{
    EXPECT_EQ(now_playing("A", "B", "1999", "", "c"), "A - B (1999, c)");
    EXPECT_EQ(now_playing("A", "B", "1999", "X", "c"), "A - B (1999, X, c)");
    EXPECT_EQ(now_playing("tmp/vesktmp-song.mod", "", "", "", ""), "song.mod");
    EXPECT_EQ(now_playing("a/tmp/vesktmp-x", "", "", "", ""), "a/tmp/vesktmp-x");
    EXPECT_EQ(now_playing("", "", "", "X", ""), " (X)");
    EXPECT_EQ(now_playing("T", "", "", "", ""), "T");
    // Full tags fit in the message buffer; a small buffer is cut and stays terminated.
    std::string full(39, 'x');
    std::string longest = now_playing(full.c_str(), full.c_str(), "1234567", full.c_str(),
                                      full.c_str());
    EXPECT_EQ(longest.size(), 39u + 3 + 39 + 2 + 7 + 2 + 39 + 2 + 39 + 1);
    player_state p{};
    zt_strncpy(p.title, "abcdefgh", 39);
    zt_strncpy(p.artist, "artist", 39);
    char small[6];
    format_now_playing(small, sizeof small, p);
    EXPECT_STREQ(small, "abcde");
}

} // namespace
