#include <atomic>
#include <clocale>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "input/prompt.h"
#include "screen/window.h"
#include "client_fixtures.h"
// Last: term.h defines macros named like fields of the global record.
#include "key_feed.h"

namespace {

constexpr int message_row = 21;   // lines - 3 on the 24-row test screen

// A client on an 80x24 test screen, connected to a loopback peer, with a playing entry whose
// now-playing line is "Song - Band".
class Prompt : public ScreenPeerTest {
protected:
    char song_path[16] = "mods/song.mod";
    list_entry song{};

    void SetUp() override
    {
        ScreenPeerTest::SetUp();
        song.text[0] = song.text[1] = song.text[2] = song_path;
        conf.list.index[0] = &song;
        conf.list.dmt = 1;
        snprintf(conf.player.title, sizeof conf.player.title, "Song");
        snprintf(conf.player.artist, sizeof conf.player.artist, "Band");
    }

    void TearDown() override
    {
        ScreenPeerTest::TearDown();
        conf.list.index[0] = nullptr;
        conf.list.dmt = 0;
        setlocale(LC_CTYPE, "C");
    }

    // The test screen again, in another locale.
    static void reopen_screen(const char *locale)
    {
        close_test_screen();
        ASSERT_NE(setlocale(LC_CTYPE, locale), nullptr);
        open_test_screen(24, 80);
    }

    std::string message(int to = 30) { return screen_row(message_row, 5, to); }
};

std::string padded(const std::string &text, size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

TEST_F(Prompt, DelErasesTheLastCharacterAndEnterSends)
{
    keypad(stdscr, FALSE);   // the DEL byte arrives as itself
    feed_keys("abc\x7f"
              "d\n");
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 abd");
    EXPECT_EQ(message(), padded("open: abd", 26));
}

TEST_F(Prompt, BackspaceKeyErasesLikeDel)
{
    feed_keys("x\x7f\x7f"   // one erase too many changes nothing
              "abc" + key_bytes("kbs") + "d\n");
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 abd");
}

// Alt+x, a function key, a key the terminal description lacks and a control byte are no text,
// and none ends the prompt.
TEST_F(Prompt, OnlyPrintableBytesBecomeText)
{
    feed_keys("ab\033x" + key_bytes("kf5") + "\033[1;2A\x16" + key_bytes("kcub1") + "c\n");
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 abc");
}

// Escape acts after 50 ms, unless the user's ESCDELAY says otherwise.
TEST_F(Prompt, EscapeActsAtOnceUnlessTheUserSetTheDelay)
{
    for (const char *delay : {"", "300"}) {
        if (delay[0] == '\0')
            unsetenv("ESCDELAY");
        else
            setenv("ESCDELAY", delay, 1);
        reopen_screen("C");
        EXPECT_EQ(get_escdelay(), delay[0] == '\0' ? 50 : 300);
    }
    unsetenv("ESCDELAY");
}

// With nothing playing the line is left empty: the prompt must not look open, nor leave any of a
// long text behind. An escape a terminal sends with Alt or an unknown key is no Escape.
TEST_F(Prompt, EscapeOrAnEmptyLineSendsNothingAndRestoresNowPlaying)
{
    feed_keys("xy\033");
    open_prompt();
    EXPECT_EQ(message(), padded("Song - Band", 26));

    set_message("something else");
    feed_keys("\n");
    open_prompt();
    EXPECT_EQ(message(), padded("Song - Band", 26));

    std::string frame_end = screen_row(message_row, 77);
    conf.player.title[0] = conf.player.artist[0] = '\0';
    feed_keys(std::string(100, 'x') + "\033x\033");
    open_prompt();
    EXPECT_EQ(screen_row(message_row, 5, 76), std::string(72, ' '));
    EXPECT_EQ(screen_row(message_row, 77), frame_end);
    EXPECT_EQ(read_all(peer), "");
}

TEST_F(Prompt, AnEscapeWithAPasteRightBehindItEndsThePromptAndThePasteGoes)
{
    feed_keys("ab\033\033[200~x\rQ\033[201~");
    open_prompt();
    EXPECT_EQ(message(18), "paste ignored ");
    EXPECT_EQ(read_all(peer), "");
}

// An Enter typed right after a paste, read late together with its end marker, still sends it.
TEST_F(Prompt, AnEnterReadWithThePastesEndSendsIt)
{
    alarm(20);   // taken for pasted text, the Enter would leave the prompt waiting
    feed_keys("\033[200~ab\033[201~\n");
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 ab");
}

// In a UTF-8 locale the text shows as characters and Backspace takes a whole one; in C every byte
// is one. The bytes sent are those typed.
TEST_F(Prompt, TextInTheUsersCharacters)
{
    const struct {
        const char *locale;
        const char *shown;
        size_t columns;
        const char *sent;
    } cases[] = {
        {"C.UTF-8", "open: Caf\u00e9 \u6771", 13, "Caf\u00e9 \u6771"},
        {"C", "open: Caf?? ?????", 17, "Caf\xc3\xa9 \xe6\x9d\xb1\xe4\xba"},
    };
    for (const auto &c : cases) {
        reopen_screen(c.locale);
        feed_keys("Caf\u00e9 \u6771\u4eac\x7f\n");
        open_prompt();
        EXPECT_EQ(message(), c.shown + std::string(26 - c.columns, ' ')) << c.locale;
        EXPECT_EQ(read_all(peer), std::string("LOAD2 ") + c.sent) << c.locale;
    }
}

// A character that does not fit whole is left out, in the text and in the line sent.
TEST_F(Prompt, AFullTextAndTheLineSentEndOnACharacter)
{
    reopen_screen("C.UTF-8");
    conf.debug = 8;
    feed_keys(std::string(254, 'x') + "\u6771");
    open_prompt();
    EXPECT_EQ(message(26), "open: i:254 k:230 s:[x");
    EXPECT_EQ(read_all(peer), "LOAD2 " + std::string(248, 'x'));

    feed_keys(std::string(246, 'x') + "\u6771\u6771\n");
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 " + std::string(246, 'x'));
}

// Until the next key, which shows the prompt again.
TEST_F(Prompt, MouseEventShowsKeyMouseAndKeepsTheText)
{
    start_log(1);
    feed_keys("ab\033[<0;10;10M" "c\n");
    open_prompt();
    EXPECT_TRUE(log_has("] KEY_MOUSE\n"));
    EXPECT_EQ(message(), padded("open: abc", 26));
    EXPECT_EQ(read_all(peer), "LOAD2 abc");
}

TEST_F(Prompt, TheTwoHundredFiftySixthCharacterEndsThePrompt)
{
    feed_keys(std::string(300, 'x'));
    open_prompt();
    EXPECT_EQ(read_all(peer), "LOAD2 " + std::string(248, 'x'));
}

TEST_F(Prompt, DebugLevelShowsTheClosingLine)
{
    conf.debug = 8;
    feed_keys("ab\n");
    open_prompt();
    EXPECT_EQ(message(), padded("open: i:2 k:10 s:[ab]", 26));
    EXPECT_EQ(read_all(peer), "LOAD2 ab");
}

TEST_F(Prompt, AResizeDuringTheWaitRedrawsAndTheLineShowsAgain)
{
    resizeterm(30, 100);   // the terminal's new size, which the client learns of by the signal
    flushinp();
    feed_keys("ab");
    pthread_t prompt_thread = pthread_self();
    std::thread typist([prompt_thread] {
        pthread_kill(prompt_thread, SIGWINCH);
        // Type on once the prompt has taken up the resize (or after a generous wait).
        for (int i = 0; i < 500 && conf.lines != 30; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        feed_keys("c\n");
    });
    open_prompt();
    typist.join();
    EXPECT_EQ(conf.lines, 30);
    EXPECT_EQ(read_all(peer), "LOAD2 abc");
    EXPECT_EQ(screen_row(27, 5, 30), padded("open: abc", 26));
}

TEST_F(Prompt, EndOfTerminalInputEndsThePromptWithoutSending)
{
    alarm(20);   // a prompt that kept waiting on a dead terminal would spin here for ever
    input_then_eof("ab");
    open_prompt();
    EXPECT_EQ(read_all(peer), "");
    EXPECT_EQ(message(), padded("Song - Band", 26));
}

} // namespace
