#include <clocale>
#include <gtest/gtest.h>
#include <string>

#include "base/log.h"

#include "link/messages.h"
#include "screen/help.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"
#include "client_fixtures.h"
#include "screen_fixture.h"

// Texts the core sends for the message line and the list title keep one column per byte.
class CoreTextTest : public ScreenTest {
protected:
    static void receive(std::string line) { parse_line(line.data(), (int)line.size()); }
};

TEST_F(CoreTextTest, MessagesFromTheCoreShowControlAndEightBitBytesAsQuestionMarks)
{
    receive("D=a\tb\rc\bd\x1b]0;title\x07\xc3\xa9!");
    EXPECT_EQ(screen_row(21, 5, 24), "a?b?c?d?]0;title??" "?!");
    receive("CURNAME=\x1b[2J\x0e" "x");
    EXPECT_EQ(screen_row(21, 5, 12), "?[2J?x  ");
}

TEST_F(CoreTextTest, CoreQuitTextIsFilteredBeforeDisconnectedReplacesIt)
{
    start_log(1);
    receive("COREQUIT=bye\x1b[H");
    EXPECT_EQ(screen_row(21, 5, 18), "disconnected. ");
    std::string log = log_text();
    EXPECT_NE(log.find("] bye?[H\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("bye\x1b"), std::string::npos);
}

TEST_F(CoreTextTest, ListTitleFromTheCoreKeepsItsWidthAndTheBorder)
{
    receive("LISTNAME=ab\tc\x1b(0d");
    std::string top = screen_row(0);
    size_t at = top.find("ab?c?(0d");
    ASSERT_NE(at, std::string::npos) << top;
    EXPECT_EQ(at, (80u - 8u) / 2u) << "centred on its byte length";
    EXPECT_EQ(conf.player.list_name, std::string("ab\tc\x1b(0d")) << "stored as received";
}

// Names in the user's locale: characters laid out by their columns in UTF-8, where a wide
// character that would cross a cut leaves a blank; one "?" per byte in C.
struct LocaleNamesTest : screen_test {
    void TearDown() override
    {
        screen_test::TearDown();
        setlocale(LC_CTYPE, "C");
    }
};

TEST_F(LocaleNamesTest, ListRowTitleAndInfoScreenByColumns)
{
    struct shown {
        const char *locale;
        const char *row;    // the list row, its 16 columns
        const char *title;  // the top border between its tees
        const char *info;   // the info screen's title row
        const char *message;
    };
    const shown cases[] = {
        {"C.UTF-8", "Bj\u00f6rk: \u5742\u672c\u9f8d\u4e00 ", "...  Mr Lawrence",
         "Title:   \u5742\u672c\u9f8d ", "\u5742\u672c         "},
        {"C", "Bj??rk: ????????", "...? Mr Lawrence", "Title:   ?????? ", "??????       "},
    };
    add("Bj\u00f6rk: \u5742\u672c\u9f8d\u4e00\u6559\u6388");
    for (const shown &c : cases) {
        ASSERT_NE(setlocale(LC_CTYPE, c.locale), nullptr);
        open_test_screen(24, 20);
        conf.list.top = conf.list.cur = 0;
        scrollto(0, 1);
        set_list_title("Xmas \u5742\u672c\u9f8d\u4e00 Mr Lawrence");
        snprintf(conf.player.title, sizeof conf.player.title, "\u5742\u672c\u9f8d\u4e00 - Merry");
        EXPECT_EQ(screen_row(1, 2, 17), c.row) << c.locale;
        EXPECT_EQ(screen_row(0, 2, 17), c.title) << c.locale;
        draw_info();
        EXPECT_EQ(screen_row(6, 2, 17), c.info) << c.locale;
        set_message("0123456789abc");
        set_message("\u5742\u672c");
        EXPECT_EQ(screen_row(21, 5, 17), c.message) << c.locale;
        close_test_screen();
    }
}
