#include <algorithm>
#include <climits>

#include "link/messages.h"
#include "link_fixture.h"

namespace {

class MessagesTest : public LinkTest {
protected:
    static void parse(const std::string &text)
    {
        std::string line(text);
        parse_line(line.data(), (int)line.size());
    }
};

TEST_F(MessagesTest, NumbersFollowAtoiRulesAndReachTheirFields)
{
    parse("TIME=83");
    EXPECT_FLOAT_EQ(conf.player.s_cur, 83.0f);
    parse("TIME=abc");
    EXPECT_FLOAT_EQ(conf.player.s_cur, 0.0f);
    parse("TIME=83\r");
    EXPECT_FLOAT_EQ(conf.player.s_cur, 83.0f);
    parse("TIME");
    EXPECT_FLOAT_EQ(conf.player.s_cur, 0.0f);

    parse("TTIME= 200x");
    parse("STATE=-3");
    parse("SHUFFLE=2");
    parse("REPEAT=+1");
    parse("SCROB=1");
    parse("VOL=\t42");
    parse("FREQ=44100");
    parse("BITRATE=131075");
    parse("CHAN=2");
    parse("CUR=17");
    parse("VIDS=1");
    EXPECT_FLOAT_EQ(conf.player.s_dur, 200.0f);
    EXPECT_EQ(conf.player.state, -3);
    EXPECT_EQ(conf.player.shuffle, 2);
    EXPECT_EQ(conf.player.repeat, 1);
    EXPECT_EQ(conf.player.scrob, 1);
    EXPECT_EQ(conf.player.vol, 42);
    EXPECT_EQ(conf.player.freq, 44100);
    EXPECT_EQ(conf.player.bitrate, 131075);
    EXPECT_EQ(conf.player.chan, 2);
    EXPECT_EQ(conf.list.cur, 17);

    // Out of range saturates instead of wrapping.
    parse("VOL=99999999999");
    EXPECT_EQ(conf.player.vol, INT_MAX);
    parse("VOL=-99999999999");
    EXPECT_EQ(conf.player.vol, INT_MIN);
}

TEST_F(MessagesTest, TextsAreCutToTheirFields)
{
    std::string sixty(60, 't');
    parse("TITLE=" + sixty);
    parse("COMMENT=" + sixty);
    parse("GENRE=" + sixty);
    parse("YEAR=" + sixty);
    parse("HELLO=" + sixty);
    EXPECT_EQ(std::string(conf.player.title), sixty.substr(0, 39));
    EXPECT_EQ(std::string(conf.player.comment), sixty.substr(0, 39));
    EXPECT_EQ(std::string(conf.player.genre), sixty.substr(0, 15));
    EXPECT_EQ(std::string(conf.player.year), sixty.substr(0, 7));
    EXPECT_EQ(std::string(conf.player.core_version), sixty.substr(0, 39));
    parse("HELLO=1.2");
    EXPECT_STREQ(conf.player.core_version, "1.2");
    parse("TITLE=a=b\n");
    EXPECT_STREQ(conf.player.title, "a=b");
    parse("YEAR=");
    EXPECT_STREQ(conf.player.year, "");
}

TEST_F(MessagesTest, EqualiserAndEffects)
{
    parse("EQ=1 0.5 0.5");
    EXPECT_EQ(conf.player.eq, 1);
    parse("EQ=junk 0");
    EXPECT_EQ(conf.player.eq, 1);
    parse("EQ= 0");
    EXPECT_EQ(conf.player.eq, 0);

    parse("CONF=EFFECTS 12");
    EXPECT_EQ(conf.player.effects, 12);
    parse("CONF=EFFECTS");
    EXPECT_EQ(conf.player.effects, 12);
    parse("CONF=EQ 1");
    EXPECT_EQ(conf.player.eq, 1);
    parse("CONF=EFFECTSX 3");
    parse("CONF=EQUAL 0");
    EXPECT_EQ(conf.player.effects, 12);
    EXPECT_EQ(conf.player.eq, 1);
}

TEST_F(MessagesTest, UnknownKeysAreLoggedWithKeyAndValueCutTo511)
{
    start_log(2);
    parse("=5");
    parse("time=5");
    parse("STATE");
    parse("\r\n");
    parse(std::string(600, 'K') + "=" + std::string(600, 'v'));
    EXPECT_TRUE(log_has("] [unhandled msg: l:2 [=5],[]\n"));
    EXPECT_TRUE(log_has("] [unhandled msg: l:6 [time],[5]\n"));
    EXPECT_TRUE(log_has("] [unhandled msg: l:1201 [" + std::string(511, 'K') + "],[" +
                        std::string(511, 'v') + "]\n"));
    EXPECT_FALSE(log_has("STATE"));
    EXPECT_FLOAT_EQ(conf.player.s_cur, 0.0f);
}

TEST_F(MessagesTest, TracesOfEveryLineOnlyAboveLevelEight)
{
    start_log(8);
    parse("TIME=1");
    parse("NAM00]=1,song");
    EXPECT_FALSE(log_has("parse_line: ("));
    EXPECT_FALSE(log_has("a1:"));
    EXPECT_FALSE(log_has("baddu"));
    EXPECT_EQ(conf.list.fmt, 1);

    unlink(dlog_path());
    start_log(9);
    parse("TIME=83\r");
    parse("VOL=");
    parse("NAM01]=-1,dir");
    EXPECT_TRUE(log_has("] parse_line: (8)[TIME=83\r]\n"));
    EXPECT_TRUE(log_has("] a1:[TIME], a2:[83] (51)\n"));
    EXPECT_TRUE(log_has("] a1:[VOL], a2:[] (0)\n"));
    EXPECT_FALSE(log_has("parse_line: (13)"));
    EXPECT_TRUE(log_has("] a1:[NAM01]], a2:[-1,dir] (114)\n"));
    EXPECT_TRUE(log_has("] baddu: type: -1, path: [dir]\n"));
}

TEST_F(MessagesTest, ListLinesFeedTheListInArrivalOrder)
{
    start_log(2);
    parse("LIST_START=-4");
    parse("NAM00]=1,file a, with, commas");
    parse("NAM01]=-1,dir X");
    parse("NAMxx]=1,no comma is fine here");
    parse("NAM03]=-7,dir Y");
    parse("NAM05]=2");          // no comma: dropped
    parse("NAM06=1,x");         // no "]": dropped
    parse("NAM]=1,short key");  // too short for a number: entry number 0
    EXPECT_EQ(conf.player.list_last, 0);
    EXPECT_EQ(conf.list.dmt, 2);
    EXPECT_EQ(conf.list.fmt, 3);
    parse("NAM0099]=1,last");
    EXPECT_EQ(conf.player.list_last, 99);
    parse("LIST_END");
    EXPECT_TRUE(log_has("] parse_line: LIST_END, dmt:2 fmt:4\n"));

    const char *expected[] = {"dir X", "dir Y", "file a, with, commas", "no comma is fine here",
                              "short key", "last"};
    ASSERT_EQ(conf.list.dmt, 6);
    EXPECT_EQ(conf.list.fmt, 0);
    for (int i = 0; i < 6; i++)
        EXPECT_STREQ(conf.list.index[i]->text[2], expected[i]) << i;
    EXPECT_EQ(conf.list.index[1]->type, -7);
    EXPECT_EQ(conf.list.index[2]->type, 1);
    EXPECT_GT(conf.player.list_t0, 0);
}

TEST_F(MessagesTest, AListLongerThanTheIndexSaysWhereItWasCut)
{
    start_log(2);
    parse("LIST_START=" + std::to_string(list_capacity + 2));
    for (int i = 0; i <= list_capacity + 1; i++)
        parse("NAME[" + std::to_string(i) + "]=1,f");
    parse("LIST_END");
    std::string loaded = "Loaded " + std::to_string(list_capacity + 1) + " in ";
    std::string message = conf.message;
    EXPECT_EQ(message.rfind(loaded, 0), 0u) << message;
    std::string cut = "s, list cut at 262144 of 262146 entries";
    EXPECT_EQ(message.substr(message.size() - std::min(message.size(), cut.size())), cut);
    EXPECT_TRUE(log_has("] " + loaded));
    EXPECT_FALSE(log_has("list cut")) << "the log keeps its own lines only";

    parse("LIST_START=1");
    parse("NAME[0]=1,f");
    parse("LIST_END");
    EXPECT_EQ(std::string(conf.message).find("cut"), std::string::npos) << conf.message;
}

} // namespace
