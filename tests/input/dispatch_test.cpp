#include <gtest/gtest.h>
#include <string>

#include "base/log.h"
#include "config/key_table.h"
#include "input/dispatch.h"
#include "input/keys.h"
#include "key_feed.h"
#include "input_fixture.h"

namespace {

class Dispatch : public BoundKeysTest {
protected:
    void SetUp() override
    {
        BoundKeysTest::SetUp();
        conf.fullpath = 2;
    }

    // Presses a key as the main loop does and returns the line it sent ("" for none).
    std::string press(const std::string &bytes)
    {
        feed_keys(bytes);
        check_key(c_get_key());
        return read_chunk(peer, 100);
    }
};

TEST_F(Dispatch, EveryDefaultKeySendsItsExactLine)
{
    give_list(100, 42);
    struct {
        std::string key;
        const char *line;
    } keys[] = {
        {"\\", "STOP"},
        {"p", "PAUSE"},
        {"[", "PREV"},
        {"]", "NEXT"},
        {",", "RWND"},
        {".", "FFWD"},
        {"-", "VOL-"},
        {"=", "VOL+"},
        {key_bytes("kcub1"), "GO_PARENT"},
        {";", "MAKE_RECURSIVE_LIST"},
        {key_bytes("kcuf1"), "LOAD 42"},
        {"o" "abc\n", "LOAD2 abc"},
        {"r", "TOGGLE REPEAT"},
        {"s", "TOGGLE SHUFFLE"},
        {"S", "TOGGLE SHUFFLE"},
        {"v", "TOGGLE VIDS"},
        {"/", "GO_ROOT"},
        {"f", "EHLO 0"},
        {"V", "TOGGLE REVERB"},
        {"C", "TOGGLE CONTRAST"},
        {"W", "TOGGLE EARWAX"},
        {"F", "TOGGLE FLANGER"},
        {"E", "TOGGLE EQ"},
        {"u", "SCROBLOVE"},
        {"U", "SCROBBLER"},
        {"O", "TOGGLE OVERDRIVE"},
        {"K", "TOGGLE KARAOKE"},
        {"Q", "QUIT"},
    };
    for (const auto &k : keys)
        EXPECT_EQ(press(k.key), k.line) << "key [" << k.key << "]";
    const char shifted[] = ")!@#$%^&*(";
    for (int slot = 0; slot <= 9; slot++) {
        EXPECT_EQ(press(std::to_string(slot)), "LOADFAV " + std::to_string(slot));
        EXPECT_EQ(press(std::string(1, shifted[slot])), "SETFAV " + std::to_string(slot));
    }
    EXPECT_EQ(conf.fullpath, 0);
    EXPECT_EQ(conf.quit, 0);
}

TEST_F(Dispatch, KeysWithoutACommandSendNothing)
{
    give_list(100, 42);
    const std::string silent[] = {"e", "?", "l", key_bytes("kich1"), key_bytes("kdch1"),
                                  " ", key_bytes("kf5"), "x", "h", "h", "i", "i"};
    for (const std::string &key : silent)
        EXPECT_EQ(press(key), "") << "key [" << key << "]";
    EXPECT_EQ(conf.quit, 0);
    EXPECT_EQ(conf.list.pos, 42);
}

TEST_F(Dispatch, QuitEndsTheClientWithoutTellingTheCore)
{
    EXPECT_EQ(press("q"), "");
    EXPECT_EQ(conf.quit, 1);
}

TEST_F(Dispatch, CoreQuitKeepsTheClientRunning)
{
    EXPECT_EQ(press("Q"), "QUIT");
    EXPECT_EQ(conf.quit, 0);
    EXPECT_EQ(press("]"), "NEXT");
}

TEST_F(Dispatch, PathtypeCyclesTheModeAndGreetsWithIt)
{
    EXPECT_EQ(press("f"), "EHLO 0");
    EXPECT_EQ(press("f"), "EHLO 1");
    EXPECT_EQ(press("f"), "EHLO 2");
    EXPECT_EQ(conf.fullpath, 2);
    conf.fullpath = -5;
    EXPECT_EQ(press("f"), "EHLO -4");
}

TEST_F(Dispatch, CursorKeysStayOnAHundredEntryList)
{
    give_list(100, 0);
    std::string up = key_bytes("kcuu1"), down = key_bytes("kcud1");
    std::string page_up = key_bytes("kpp"), page_down = key_bytes("knp");
    std::string home = key_bytes("khome"), end = key_bytes("kend");
    std::string enter = key_bytes("kcuf1");

    EXPECT_EQ(press(up), "");
    EXPECT_EQ(conf.list.pos, 0);
    EXPECT_EQ(press(enter), "LOAD 0");
    press(down);
    press(down);
    EXPECT_EQ(conf.list.pos, 2);
    press(page_down);
    EXPECT_EQ(conf.list.pos, 2 + conf.lh);
    for (int i = 0; i < 6; i++)
        press(page_down);
    EXPECT_EQ(conf.list.pos, 99);
    press(down);
    EXPECT_EQ(conf.list.pos, 99);
    EXPECT_EQ(press(enter), "LOAD 99");
    EXPECT_LE(conf.list.top, 99);
    EXPECT_GE(conf.list.top + conf.lh - 1, 99);

    press(page_up);
    EXPECT_EQ(conf.list.pos, 99 - conf.lh);
    press(home);
    EXPECT_EQ(conf.list.pos, 0);
    EXPECT_EQ(conf.list.top, 0);
    press(page_up);
    EXPECT_EQ(conf.list.pos, 0);
    press(end);
    EXPECT_EQ(conf.list.pos, 99);
    press(up);
    EXPECT_EQ(conf.list.pos, 98);
}

TEST_F(Dispatch, UnboundEnterLoadsAndUnboundSlashJumpsToTheLastEntry)
{
    clear_bindings();
    bind_key(action::quit, "q");
    give_list(100, 7);
    EXPECT_EQ(press("\n"), "LOAD 7");
    check_key(13);
    EXPECT_EQ(read_chunk(peer, 100), "LOAD 7");
    EXPECT_EQ(press("/"), "");
    EXPECT_EQ(conf.list.pos, 99);
    EXPECT_EQ(press(key_bytes("kcuf1")), "");
}

TEST_F(Dispatch, EnterOnAnEmptyListLoadsMinusOne)
{
    give_list(0, 0);
    press(key_bytes("khome"));
    EXPECT_EQ(conf.list.pos, -1);
    EXPECT_EQ(press(key_bytes("kcuf1")), "LOAD -1");
}

TEST_F(Dispatch, AKeyBoundToTwoActionsReachesTheLowerOne)
{
    bind_key(action::core_quit, "x");
    bind_key(action::next, "x");
    EXPECT_EQ(press("x"), "NEXT");
    bind_key(action::show_help, "h");
    bind_key(action::quit, "h");
    EXPECT_EQ(press("h"), "");
    EXPECT_EQ(conf.quit, 1);
}

TEST_F(Dispatch, EveryCodeIsLoggedWithItsActionName)
{
    start_log(8);
    check_key(action_code(action::core_quit));
    EXPECT_EQ(read_chunk(peer, 100), "QUIT");
    check_key(0);
    check_key(-64);
    check_key(85);
    check_key(-1000);
    EXPECT_EQ(read_chunk(peer, 100), "");
    EXPECT_EQ(conf.quit, 0);

    std::string log = log_text();
    for (const char *line : {"check_key: -63, action: Core quit", "check_key: 0, action: NULL",
                             "check_key: -64, action: ??", "check_key: 85, action: ??",
                             "check_key: -1000, action: ??"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

} // namespace
