#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/log.h"
#include "config/key_table.h"
#include "input/keys.h"
#include "input/mouse.h"
#include "link/conn.h"
#include "screen/layout.h"
#include "screen/panel.h"
#include "key_feed.h"
#include "input_fixture.h"

namespace {

// xterm's SGR mouse reports, with 0-based screen cells.
std::string sgr(int button, int x, int y, char final)
{
    return "\033[<" + std::to_string(button) + ";" + std::to_string(x + 1) + ";" +
           std::to_string(y + 1) + final;
}
std::string press_bytes(int x, int y) { return sgr(0, x, y, 'M'); }
std::string release_bytes(int x, int y) { return sgr(0, x, y, 'm'); }

class Mouse : public BoundKeysTest {
protected:
    // Delivers mouse bytes through the terminal and returns what the key reader made of them.
    int mouse(const std::string &bytes)
    {
        feed_keys(bytes);
        return c_get_key();
    }

    // A left click on a cell that does not repeat: the result of the press, after checking that
    // the release comes back as 0. The two arrive apart, as from a hand on a real mouse.
    int click(int x, int y)
    {
        int code = mouse(press_bytes(x, y));
        EXPECT_EQ(mouse(release_bytes(x, y)), 0) << "release at " << x << "," << y;
        return code;
    }

    // Holds the button at (x, y) and hands in each of `later` once the hold has begun its next
    // round, apart as from a hand on a real mouse; what the key reader made of it all. The log
    // at level 8 shows the rounds.
    int hold(int x, int y, const std::vector<std::string> &later)
    {
        alarm(20);   // a hold that did not end would repeat for ever
        if (conf.log.file == nullptr)
            start_log(8);
        size_t before = rounds();
        feed_keys(press_bytes(x, y));
        std::thread hand([&] {
            for (size_t i = 0; i < later.size(); i++) {
                for (int waited = 0; rounds() <= before + i && waited < 5000; waited++)
                    usleep(1000);
                feed_keys(later[i]);
            }
        });
        int code = c_get_key();
        hand.join();
        alarm(0);
        return code;
    }

    static size_t rounds() { return occurrences(log_text(), "ccm: mouse down0"); }

    static size_t occurrences(const std::string &text, const std::string &what)
    {
        size_t count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            count++;
        return count;
    }

    // A move while the button is held, then its release.
    static std::vector<std::string> move_and_release(int x, int y)
    {
        return {sgr(32, x, y, 'M'), release_bytes(x, y)};
    }
};

TEST(MouseRegions, FirstRegionInTableOrderThatHoldsACodeWins)
{
    reset_conf();
    const int prev = action_code(action::prev);
    const int next = action_code(action::next);
    conf.click_regions[0] = {region_unused, 0, 100, 0, 100};   // no code: never hit
    conf.click_regions[1] = {prev, 10, 20, 10, 20};
    conf.click_regions[2] = {next, 0, 30, 0, 30};              // under region 1
    conf.click_regions[27] = {region_seek_bar, 40, 40, 5, 5};  // the last entry counts too
    const auto &regions = conf.click_regions;
    EXPECT_EQ(region_at(regions, 10, 10)->code, prev);
    EXPECT_EQ(region_at(regions, 20, 20)->code, prev);  // bounds are inclusive
    EXPECT_EQ(region_at(regions, 21, 20)->code, next);
    EXPECT_EQ(region_at(regions, 9, 10)->code, next);
    EXPECT_EQ(region_at(regions, 40, 5)->code, region_seek_bar);
    EXPECT_EQ(region_at(regions, 31, 0), nullptr);
    EXPECT_EQ(region_at(regions, 50, 50), nullptr);
}

TEST(MouseRegions, PerMilleIsUnclampedAndZeroForEqualBounds)
{
    reset_conf();
    int promi = 7;
    to_promi(&promi, 50, 0, 100);
    EXPECT_EQ(promi, 500);
    to_promi(&promi, 5, 3, 3);
    EXPECT_EQ(promi, 0);
    to_promi(&promi, 42, 43, 75);
    EXPECT_EQ(promi, -31);                             // truncated toward zero
    to_promi(&promi, 76, 43, 75);
    EXPECT_EQ(promi, 1031);
    to_promi(&promi, 20, 10, 0);                       // reversed bounds
    EXPECT_EQ(promi, -1000);
}

TEST(MouseRegions, SeekSecondsStayInRangeForAnyDuration)
{
    EXPECT_EQ(seek_seconds(500, 201.0f), 100);
    EXPECT_EQ(seek_seconds(1000, NAN), 0);
    EXPECT_EQ(seek_seconds(-1000, 1e30f), INT_MIN);
}

TEST_F(Mouse, ButtonPressReturnsItsActionAndReleaseReturnsZero)
{
    struct {
        int x, y, code;
    } buttons[] = {
        {72, 0, -1}, {79, 0, -1},                      // close mark, and the CPU load over it
        {2, 23, -5}, {6, 22, -4}, {10, 21, -2}, {14, 20, -6}, {18, 23, -28},
        {23, 23, -7}, {27, 23, -8}, {32, 23, -14}, {36, 23, -15},
        {46, 22, -61}, {47, 22, -60}, {48, 22, -33}, {49, 22, -34}, {50, 22, -35},
        {51, 22, -36}, {52, 22, -37}, {60, 21, -25}, {69, 21, -23},
    };
    for (const auto &b : buttons)
        EXPECT_EQ(click(b.x, b.y), b.code) << b.x << "," << b.y;
    EXPECT_EQ(click(40, 23), 0);                       // the gap after the buttons
    EXPECT_EQ(read_all(peer, 50), "");                 // buttons go to dispatch, not the core
}

TEST_F(Mouse, VolumeBarCellsSendVolumeInTensAndTheBracketsBeyond)
{
    std::string expected;
    for (int x = 59; x <= 71; x++) {
        EXPECT_EQ(click(x, 23), 0);
        expected += "VOLS " + std::to_string((x - 60) * 10);
    }
    EXPECT_EQ(read_all(peer), expected);
    EXPECT_NE(expected.find("VOLS -10VOLS 0VOLS 10"), std::string::npos);
    EXPECT_NE(expected.find("VOLS 100VOLS 110"), std::string::npos);
}

TEST_F(Mouse, SeekBarEdgesSeekBeforeTheStartAndPastTheEnd)
{
    conf.player.s_dur = 200.0f;
    EXPECT_EQ(click(42, 20), 0);                       // left of the inner range
    EXPECT_EQ(read_chunk(peer), "SEEK -6");
    EXPECT_EQ(click(59, 20), 0);
    EXPECT_EQ(read_chunk(peer), "SEEK 100");
    EXPECT_EQ(click(76, 20), 0);                       // right of it
    EXPECT_EQ(read_chunk(peer), "SEEK 206");
}

TEST_F(Mouse, ListPressSelectsAndLoadsOnlyRowsWithAnEntry)
{
    give_list(5, 0, 0);
    EXPECT_EQ(click(10, 3), 0);
    EXPECT_EQ(conf.list.pos, 2);
    EXPECT_EQ(read_chunk(peer), "LOAD 2");

    EXPECT_EQ(click(10, 6), 0);                        // below the last entry
    EXPECT_EQ(conf.list.pos, 2);

    conf.list.top = 3;
    EXPECT_EQ(click(30, 2), 0);
    EXPECT_EQ(conf.list.pos, 4);
    EXPECT_EQ(read_all(peer), "LOAD 4");
}

TEST_F(Mouse, ListPressOnTheHelpOrInfoScreenIsIgnored)
{
    give_list(50, 7, -2);
    EXPECT_EQ(click(10, 1), 0);
    conf.list.top = -3;
    EXPECT_EQ(click(10, 4), 0);
    EXPECT_EQ(conf.list.pos, 7);
    EXPECT_EQ(read_all(peer), "");
}

TEST_F(Mouse, ScrollBarMovesTheCursorInProportion)
{
    give_list(100, 50, 40);
    EXPECT_EQ(click(78, 3), 0);
    EXPECT_EQ(conf.list.pos, 0);
    EXPECT_EQ(click(79, 17), 0);
    EXPECT_EQ(conf.list.pos, 99);
    EXPECT_EQ(click(78, 10), 0);                       // 7 of 14 rows down
    EXPECT_EQ(conf.list.pos, 50);
    EXPECT_EQ(read_all(peer, 50), "");
}

TEST_F(Mouse, WheelPagesAndOtherButtonsOnlyLog)
{
    give_list(100, 50, 40);
    EXPECT_EQ(mouse(sgr(65, 10, 5, 'M')), 0);          // wheel down
    EXPECT_EQ(conf.list.pos, 50 + conf.lh);
    EXPECT_EQ(mouse(sgr(64, 10, 5, 'M')), 0);          // wheel up
    EXPECT_EQ(mouse(sgr(64, 10, 5, 'M')), 0);
    EXPECT_EQ(conf.list.pos, 50 - conf.lh);

    EXPECT_EQ(mouse(sgr(1, 10, 5, 'M')), 0);           // middle button on a list row
    EXPECT_EQ(mouse(sgr(2, 10, 23, 'M')), 0);          // right button on a button
    EXPECT_EQ(conf.list.pos, 50 - conf.lh);
    EXPECT_EQ(read_all(peer, 50), "");
}

// A move goes on with the hold, and the action fires again at once.
TEST_F(Mouse, HeldButtonsRepeatUntilTheRelease)
{
    EXPECT_EQ(hold(76, 23, move_and_release(76, 23)), 0);
    EXPECT_GE(occurrences(read_all(peer), "VOL+"), 2u);
    give_list(1000, 0, 0);
    EXPECT_EQ(hold(78, 19, move_and_release(78, 19)), 0);
    EXPECT_GE(conf.list.pos, 2 * conf.lh);
    EXPECT_EQ(conf.list.pos % conf.lh, 0);
}

// Whatever else comes ends the hold and is not dispatched: a key (Quit), a paste (of the core's
// Quit), another button (the wheel). The release that follows does nothing.
TEST_F(Mouse, AnyOtherInputEndsTheHoldUndispatched)
{
    give_list(100, 50, 40);
    for (const std::string &other : {std::string("q"), std::string("\033[200~Q\033[201~"),
                                     sgr(65, 10, 5, 'M')}) {
        EXPECT_EQ(hold(76, 23, {other}), 0) << other;
        EXPECT_EQ(mouse(release_bytes(76, 23)), 0) << other;
        EXPECT_EQ(occurrences(read_all(peer), "VOL+"), 1u) << other;
    }
    EXPECT_EQ(conf.quit, 0);
    EXPECT_EQ(conf.list.pos, 50);
}

TEST_F(Mouse, HoldEndsWhenTheTerminalInputEnds)
{
    alarm(20);   // without the end of the hold this would repeat for ever
    input_then_eof(press_bytes(76, 23));
    EXPECT_EQ(c_get_key(), 0);
    EXPECT_EQ(read_all(peer), "VOL+");
}

TEST_F(Mouse, EventsAreLogged)
{
    start_log(8);
    conf.player.s_dur = 100.0f;
    click(10, 23);
    click(45, 20);
    hold(77, 20, move_and_release(77, 20));
    int promi = 0;
    to_promi(&promi, 5, 3, 3);
    std::string log = log_text();
    for (const char *line : {
             "ccm: mouse pressed, bstate:0x2, a:-2, x:10, y:23",
             "ccm: mouse down, bstate:0x1 (b1:0x4 0x2 0x1)",
             "to_promi: 62",
             "ccm: a:-776 x:45 y:20 promi:62 st:6 s_cur:0.0 s_dur:100.0",
             "ccm: mouse down0, i:0, bstate:0x2, a:-10",
             "ccm: mouse down, i:1, bstate:0x10000000",
             "ccm: mouse down0, i:1, bstate:0x10000000, a:-10",
             ", bstate:0x1\n",
             "ccm: mouse up, i:",
             "to_promi: invalid input: 5 (3..3)",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

} // namespace
