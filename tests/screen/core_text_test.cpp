#include <gtest/gtest.h>
#include <string>

#include "base/log.h"

#include "link/messages.h"
#include "client_fixtures.h"

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
