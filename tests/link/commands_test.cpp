#include <climits>
#include <gtest/gtest.h>
#include <string>

#include "link/commands.h"
#include "client_fixtures.h"

namespace {

class Commands : public PeerTest {
protected:
    // What one sender put on the wire; "" when it sent nothing.
    std::string line() { return read_chunk(peer, 300); }
};

TEST_F(Commands, PlainCommandsSendTheirExactLine)
{
    struct {
        void (*sender)();
        const char *line;
    } plain[] = {
        {send_quit, "QUIT"},
        {send_prev, "PREV"},
        {send_next, "NEXT"},
        {send_stop, "STOP"},
        {send_pause, "PAUSE"},
        {send_go_parent, "GO_PARENT"},
        {send_go_root, "GO_ROOT"},
        {send_rwnd, "RWND"},
        {send_ffwd, "FFWD"},
        {send_toggle_repeat, "TOGGLE REPEAT"},
        {send_scrobbler, "SCROBBLER"},
        {send_scroblove, "SCROBLOVE"},
        {send_toggle_vids, "TOGGLE VIDS"},
        {send_toggle_eq, "TOGGLE EQ"},
    };
    for (const auto &c : plain) {
        c.sender();
        EXPECT_EQ(line(), c.line);
    }
    send_make_recursive_list();
    EXPECT_EQ(line(), "MAKE_RECURSIVE_LIST");
    send_toggle_shuffle();
    EXPECT_EQ(line(), "TOGGLE SHUFFLE");
}

TEST_F(Commands, NumbersGoOutUnchangedAndAreCutAtFourteenCharacters)
{
    send_loadfav(3);
    EXPECT_EQ(line(), "LOADFAV 3");
    send_setfav(9);
    EXPECT_EQ(line(), "SETFAV 9");
    send_seek(-7);
    EXPECT_EQ(line(), "SEEK -7");
    send_vols(150);
    EXPECT_EQ(line(), "VOLS 150");
    send_load(-1);
    EXPECT_EQ(line(), "LOAD -1");
    send_load(123456789);
    EXPECT_EQ(line(), "LOAD 123456789");
    send_load(1234567890);
    EXPECT_EQ(line(), "LOAD 123456789");
    send_seek(INT_MIN);
    EXPECT_EQ(line(), "SEEK -21474836");
    send_setfav(-123456789);
    EXPECT_EQ(line(), "SETFAV -123456");
}

TEST_F(Commands, Load2SendsTheTextVerbatimUpTo248CharactersAndNothingWhenEmpty)
{
    send_load2(nullptr);
    send_load2("");
    EXPECT_EQ(line(), "");

    send_load2("my songs/%s 100%");
    EXPECT_EQ(line(), "LOAD2 my songs/%s 100%");

    std::string text;
    for (int i = 0; i < 300; i++)
        text += (char)('a' + i % 26);
    send_load2(text.c_str());
    std::string sent = read_all(peer);
    EXPECT_EQ(sent.size(), 254u);
    EXPECT_EQ(sent, "LOAD2 " + text.substr(0, 248));
}

TEST_F(Commands, RecursiveListArgumentIsCutAt26Characters)
{
    send_make_recursive_list("abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(line(), "MAKE_RECURSIVE_LIST abcdefghijklmnopqrstuvwxyz");
    send_make_recursive_list("rock");
    EXPECT_EQ(line(), "MAKE_RECURSIVE_LIST rock");
}

TEST_F(Commands, EffectMaskSendsOneLinePerBitLowestFirst)
{
    send_toggle_effects(0x21);
    EXPECT_EQ(read_all(peer), "TOGGLE FLANGERTOGGLE KARAOKE");

    send_toggle_effects(0x3f | 0x40 | 0x100);
    EXPECT_EQ(read_all(peer), "TOGGLE FLANGERTOGGLE EARWAXTOGGLE CONTRAST"
                              "TOGGLE REVERBTOGGLE OVERDRIVETOGGLE KARAOKE");

    send_toggle_effects(0);
    send_toggle_effects(0x40);
    send_toggle_effects(-0x40);
    EXPECT_EQ(line(), "");

    send_toggle_effects(effect_reverb);
    EXPECT_EQ(line(), "TOGGLE REVERB");
}

TEST_F(Commands, VolumeStepSendsOnlyForMinusAndPlusThree)
{
    send_vol_step(0);
    send_vol_step(1);
    send_vol_step(-6);
    EXPECT_EQ(line(), "");
    send_vol_step(-3);
    EXPECT_EQ(line(), "VOL-");
    send_vol_step(3);
    EXPECT_EQ(line(), "VOL+");
}

TEST_F(Commands, FullpathCyclesBeforeTheGreetingCarriesIt)
{
    conf.fullpath = 2;
    const char *expected[] = {"EHLO 0", "EHLO 1", "EHLO 2", "EHLO 0"};
    for (const char *greeting : expected) {
        cycle_fullpath();
        EXPECT_EQ(line(), greeting);
    }
    EXPECT_EQ(conf.fullpath, 0);

    conf.fullpath = -5;
    cycle_fullpath();
    EXPECT_EQ(line(), "EHLO -4");
    EXPECT_EQ(conf.fullpath, -4);

    conf.fullpath = 7;
    cycle_fullpath();
    EXPECT_EQ(line(), "EHLO 0");

    conf.fullpath = INT_MAX;
    cycle_fullpath();
    EXPECT_EQ(line(), "EHLO 0");
    EXPECT_EQ(conf.fullpath, 0);
}

TEST_F(Commands, LoadCurrentSendsTheCursorPositionUnchecked)
{
    conf.list.dmt = 10;
    conf.list.pos = 17;
    load_current();
    EXPECT_EQ(line(), "LOAD 17");
    conf.list.pos = -1;
    load_current();
    EXPECT_EQ(line(), "LOAD -1");
}

} // namespace
