#include <gtest/gtest.h>
#include <string>

#include "base/log.h"
#include "config/key_table.h"
#include "input/keys.h"
#include "screen/terminal_type.h"
#include "screen/window.h"
#include "key_feed.h"
#include "client_fixtures.h"

namespace {

std::string name_of(int code)
{
    char name[key_name_size];
    key_name_of(code, name);
    return name;
}

TEST(KeyNames, SpecialKeysHaveWordsAndOthersTheirLowByte)
{
    EXPECT_EQ(name_of(29), "PAUSE");
    EXPECT_EQ(name_of(' '), "SPACE");
    EXPECT_EQ(name_of(KEY_DOWN), "DOWN");
    EXPECT_EQ(name_of(KEY_UP), "UP");
    EXPECT_EQ(name_of(KEY_LEFT), "LEFT");
    EXPECT_EQ(name_of(KEY_RIGHT), "RIGHT");
    EXPECT_EQ(name_of(KEY_HOME), "HOME");
    EXPECT_EQ(name_of(KEY_BACKSPACE), "BACKSPACE");
    for (int n = 1; n <= 12; n++)
        EXPECT_EQ(name_of(KEY_F(n)), "F" + std::to_string(n));
    EXPECT_EQ(name_of(KEY_DC), "DELETE");
    EXPECT_EQ(name_of(KEY_IC), "INSERT");
    EXPECT_EQ(name_of(KEY_NPAGE), "PGDOWN");
    EXPECT_EQ(name_of(KEY_PPAGE), "PGUP");
    EXPECT_EQ(name_of(KEY_END), "END");

    EXPECT_EQ(name_of('q'), "q");
    EXPECT_EQ(name_of('\n'), "\n");
    EXPECT_EQ(name_of(127), "\x7f");
    EXPECT_EQ(name_of(ERR), "\xff");
    EXPECT_EQ(name_of(KEY_ENTER), "\n");
    // Beyond a byte without a word: no name, so that Shift+Up (KEY_SR, low byte "Q") stays
    // harmless.
    for (int code : {KEY_F(0), KEY_F(13), KEY_SR, KEY_SLEFT, KEY_B2, KEY_A1, KEY_RESIZE, KEY_MAX + 20})
        EXPECT_EQ(name_of(code), "") << code;

    EXPECT_EQ(name_of(12), "");
    EXPECT_EQ(name_of(27), "");
    EXPECT_EQ(name_of(KEY_MOUSE), "");
}

class KeyCodes : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_conf();
        bind_default_keys();
    }
};

TEST_F(KeyCodes, BoundNamesGiveTheirActionOthersTheirFirstByte)
{
    EXPECT_EQ(key_code_for_name("q"), -1);
    EXPECT_EQ(key_code_for_name("Q"), -63);
    EXPECT_EQ(key_code_for_name("UP"), -18);
    EXPECT_EQ(key_code_for_name("/"), -28);
    EXPECT_EQ(key_code_for_name("SPACE"), 'S');
    EXPECT_EQ(key_code_for_name("F5"), 'F');
    EXPECT_EQ(key_code_for_name("\n"), 10);
    EXPECT_EQ(key_code_for_name("\xff"), 255);
    EXPECT_EQ(key_code_for_name("Up"), 'U');
}

TEST_F(KeyCodes, TheEmptyNameNeverReachesAnUnboundAction)
{
    clear_bindings();
    bind_key(action::next, "]");
    EXPECT_EQ(key_code_for_name(""), 0);
    EXPECT_EQ(key_code_for_name("]"), -6);
}

// Keys read from a real curses screen on a pipe.
class KeyReading : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        clear_bindings();
        bind_default_keys();
    }

    int press(const std::string &bytes)
    {
        feed_keys(bytes);
        return c_get_key();
    }
};

TEST_F(KeyReading, TerminalKeySequencesAreNamedAndLookedUp)
{
    struct {
        const char *capability;
        int code;
    } keys[] = {
        {"kcud1", -12}, {"kcuu1", -18}, {"kcub1", -14}, {"kcuf1", -16},
        {"khome", -17}, {"kend", -11},  {"knp", -13},   {"kpp", -19},
        {"kich1", -21}, {"kdch1", -22}, {"kf5", 'F'},   {"kbs", 'B'},
    };
    for (const auto &key : keys) {
        std::string bytes = key_bytes(key.capability);
        ASSERT_FALSE(bytes.empty()) << key.capability;
        EXPECT_EQ(press(bytes), key.code) << key.capability;
    }
    EXPECT_EQ(press("q"), -1);
    EXPECT_EQ(press("Q"), -63);
    EXPECT_EQ(press(" "), 'S');
    EXPECT_EQ(press("\x1d"), 'P');
    EXPECT_EQ(press("\n"), 10);
}

TEST_F(KeyReading, NamesOfSpecialKeysCanBeBound)
{
    bind_key(4, "SPACE");
    bind_key(7, "PAUSE");
    bind_key(8, "F12");
    EXPECT_EQ(press(" "), -4);
    EXPECT_EQ(press("\x1d"), -7);
    EXPECT_EQ(press(key_bytes("kf12")), -8);
}

TEST_F(KeyReading, BackspaceKeyComesBackAs66EvenWhenBound)
{
    bind_key(1, "BACKSPACE");
    ungetch(KEY_BACKSPACE);
    EXPECT_EQ(c_get_key(), 66);
}

// Sequences the terminal description does not know go whole; nothing of them runs as keys.
TEST_F(KeyReading, StrayEscapeSwallowsAControlSequenceWholeOrTheNextTwoKeys)
{
    // The last: an escape with a paste right behind it, which goes as any paste.
    for (const char *after : {"xy", "Oz", "[1;9D", "[202~", "[?1;2c", "[ q", "\x1b[200~Q]\x1b[201~"}) {
        feed_keys(std::string("\x1b") + after);
        EXPECT_EQ(c_get_key(), 0) << after;
        feed_keys("]");
        EXPECT_EQ(c_get_key(), -6) << after;
    }
}

// Where bracketed paste is not in force, three or more bytes that come together are a paste and
// run nothing, unless they are one character or one key's sequence.
TEST_F(KeyReading, WithoutBracketedPasteABurstOfThreeBytesIsAPaste)
{
    const struct {
        const char *bytes;
        int code;
        bool bracketed;
    } bursts[] = {
        {"Q.m", 0, false},
        {"]]", -6, false},           // two keys at once: the first acts
        {"\xe6\x9d\xb1", 0xe6, false}, // one UTF-8 character
        {"Q.m", -63, true},
    };
    for (const auto &burst : bursts) {
        if (!burst.bracketed)
            conf.paste_on[0] = '\0';
        EXPECT_EQ(press(burst.bytes), burst.code) << burst.bytes;
        drop_waiting_input();
        learn_terminal_keys();
    }
}

TEST_F(KeyReading, EndOfTerminalInputEndsTheClientAsQuitDoes)
{
    for (const char *last : {"", "\x1b", "\x1b[1;"}) {
        conf.quit = 0;
        input_then_eof(last);
        EXPECT_EQ(c_get_key(), 0) << last;
        EXPECT_EQ(conf.quit, 1) << last;
    }
}

// Bytes that curses has taken for itself (as it does with an event it does not report) leave the
// terminal readable without a key: that is no end of the input, and the keys after them act.
// Here curses reads a pipe of its own, while a byte waits on the terminal input.
TEST(KeptInput, BytesCursesKeepsAreNoEndOfTheInput)
{
    child_result r = run_in_child([] {
        reset_conf();
        bind_default_keys();
        int terminal[2];
        int curses_input[2];
        if (pipe(terminal) != 0 || pipe(curses_input) != 0 || dup2(terminal[0], 0) < 0)
            return;
        FILE *screen_out = fopen("/dev/null", "w");
        newterm("xterm", screen_out, fdopen(curses_input[0], "r"));
        window_setup();
        ssize_t written = write(terminal[1], "x", 1);
        int kept = c_get_key();
        written += write(curses_input[1], "q", 1);
        printf("%zd %d %d %d", written, kept, conf.quit, c_get_key());
    });
    EXPECT_EQ(r.output, "2 0 0 -1");
}

TEST_F(KeyReading, CtrlLAndEscapeDoNothingWhenQuitAndStopAreUnbound)
{
    clear_bindings();
    bind_key(6, "]");
    EXPECT_EQ(press("\x0c"), 0);
    EXPECT_EQ(press("\x1b" "ab"), 0);
    EXPECT_EQ(press("]"), -6);
}

TEST_F(KeyReading, MouseEventsNeverConsultTheBindings)
{
    start_log(8);
    char mouse_byte[] = {(char)(KEY_MOUSE & 0xff), '\0'};
    bind_key(1, mouse_byte);
    ungetch(KEY_MOUSE);
    EXPECT_EQ(c_get_key(), 0);
    EXPECT_EQ(press("a"), 'a');

    std::string log = log_text();
    EXPECT_EQ(log.find("key:409"), std::string::npos);
    EXPECT_NE(log.find("c_get_key: key:97, string:[a]"), std::string::npos);
}

TEST_F(KeyReading, DebugEchoesPrintableNamesAboveTheMessageLine)
{
    int row = conf.lines - 4;
    std::string before = screen_row(row, 2, 12);
    ungetch(' ');
    c_get_key();
    EXPECT_EQ(screen_row(row, 2, 12), before);

    conf.debug = 1;
    for (int unshown : {8, KEY_RESIZE}) {
        ungetch(unshown);
        c_get_key();
        EXPECT_EQ(screen_row(row, 2, 12), before) << unshown;
    }

    ungetch(' ');
    c_get_key();
    EXPECT_EQ(screen_row(row, 2, 12), " [  SPACE] ");
    ungetch(KEY_NPAGE);
    c_get_key();
    EXPECT_EQ(screen_row(row, 2, 12), " [ PGDOWN] ");
    // DEL and 8-bit bytes take one column each and the echo stops at the end of the row.
    ungetch(0x7f);
    c_get_key();
    EXPECT_EQ(screen_row(row, 2, 12), " [      ?] ");
    resize_test_screen(24, 8);
    std::string below = screen_row(row + 1);
    ungetch(0xe9);
    c_get_key();
    EXPECT_EQ(screen_row(row, 2, 7), " [    ");
    EXPECT_EQ(screen_row(row + 1), below);
}

TEST_F(KeyReading, WaitKeyReturnsTheNextKeyAndErrOnceTheInputHasEnded)
{
    feed_keys("z");
    EXPECT_EQ(wait_key(-1), 'z');
    input_then_eof("y");
    EXPECT_EQ(wait_key(-1), 'y');
    EXPECT_EQ(wait_key(-1), ERR);
}

} // namespace
