#include <clocale>
#include <cstring>
#include <gtest/gtest.h>

#include "base/log.h"
#include "base/text.h"
#include "host/cpu_load.h"
#include "test_support.h"

TEST(ZtStrncpy, CopiesAtMostNCharactersAndAlwaysTerminates)
{
    char dst[8];
    memset(dst, 'x', sizeof dst);
    zt_strncpy(dst, "abc", 6);
    EXPECT_STREQ(dst, "abc");
    EXPECT_EQ(dst[4], 'x') << "no zero padding";

    zt_strncpy(dst, "abcdefghij", 5);
    EXPECT_STREQ(dst, "abcde");

    zt_strncpy(dst, "", 5);
    EXPECT_STREQ(dst, "");
}

// In a UTF-8 locale a cut never splits a character; bytes that are none are cut as bytes. In C
// every byte is a character.
TEST(ZtStrncpy, CutsKeepWholeCharactersInAUtf8Locale)
{
    // 2 + 13 x 3 bytes.
    const std::string title = "\u00e9\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e"
                              "\u65e5\u672c\u8a9e\u65e5";
    const struct {
        const char *what;
        std::string text;
        size_t n;
        size_t utf8_bytes;
    } cuts[] = {
        {"a 39-byte tag after a two-byte character", title, 39, 38},
        {"the cut after a character", title, 41, 41},
        {"a four-byte character", "a\U0001f600", 4, 1},
        {"invalid bytes", "\xff\xfe\xfd", 2, 2},
        {"a character cut short already", "a\xe6\x97", 2, 2},
    };
    for (bool utf8 : {true, false}) {
        ASSERT_NE(setlocale(LC_CTYPE, utf8 ? "C.UTF-8" : "C"), nullptr);
        for (const auto &cut : cuts) {
            char dst[64];
            zt_strncpy(dst, cut.text.c_str(), cut.n);
            EXPECT_EQ(dst, cut.text.substr(0, utf8 ? cut.utf8_bytes : cut.n)) << cut.what << utf8;
        }
    }
    setlocale(LC_CTYPE, "C");
}

// One copy of a text in a UTF-8 locale and in C: what shows, and the columns it takes.
struct fit_case {
    const char *what;
    const char *text;
    int columns;
    const char *utf8;
    int utf8_columns;
    const char *c;
    int c_columns;
};

constexpr fit_case fit_cases[] = {
    {"ASCII", "abc", 10, "abc", 3, "abc", 3},
    {"Latin accent", "Bj\xc3\xb6rk", 10, "Bj\xc3\xb6rk", 5, "Bj??rk", 6},
    {"CJK", "\xe5\x9d\x82\xe6\x9c\xac", 10, "\xe5\x9d\x82\xe6\x9c\xac", 4, "??????", 6},
    {"wide at the cut", "a\xe5\x9d\x82\xe6\x9c\xac", 4, "a\xe5\x9d\x82", 3, "a???", 4},
    {"combining", "e\xcc\x81x", 10, "e\xcc\x81x", 2, "e??x", 4},
    {"combining at the cut", "ae\xcc\x81z", 2, "ae\xcc\x81", 2, "ae", 2},
    {"combining first", "\xcc\x81" "a", 10, "??a", 3, "??a", 3},
    {"emoji", "\xf0\x9f\x98\x80" "z", 10, "\xf0\x9f\x98\x80" "z", 3, "????z", 5},
    {"invalid", "\xff\x80\xc0\xaf" "z", 10, "????" "z", 5, "????" "z", 5},
    {"truncated", "\xe5\x9dx\xe5\x9d", 10, "??x??", 5, "??x??", 5},
    {"C1 U+009B", "\xc2\x9b" "2J", 10, "??2J", 4, "??2J", 4},
    {"controls", "\x1b[H\t\x7f", 10, "?[H??", 5, "?[H??", 5},
    {"bidi override", "a\xe2\x80\xae" "bc", 10, "a???bc", 6, "a???bc", 6},
};

TEST(PrintableFit, CharactersInAUtf8LocaleAndOneQuestionMarkPerByteInC)
{
    for (bool utf8 : {true, false}) {
        ASSERT_NE(setlocale(LC_CTYPE, utf8 ? "C.UTF-8" : "C"), nullptr);
        for (const fit_case &t : fit_cases) {
            char out[64];
            text_fit fit = printable_fit(out, sizeof out, t.text, t.columns);
            std::string context = std::string(t.what) + (utf8 ? " in UTF-8" : " in C");
            EXPECT_STREQ(out, utf8 ? t.utf8 : t.c) << context;
            EXPECT_EQ(fit.bytes, strlen(out)) << context;
            EXPECT_EQ(fit.columns, utf8 ? t.utf8_columns : t.c_columns) << context;
        }
        // The buffer cuts whole characters too.
        char small[4];
        printable_fit(small, sizeof small, "a\xe5\x9d\x82", 10);
        EXPECT_STREQ(small, utf8 ? "a" : "a??");
    }
    setlocale(LC_CTYPE, "C");
}

TEST(ZtStrncpy, NullDestinationIsLoggedAndCopiesNothing)
{
    reset_conf();
    start_log(8);
    zt_strncpy(nullptr, "abc", 3);
    EXPECT_NE(log_text().find("zt_strncpy: dst==NULL, fix me! (l:3, src:[abc])"), std::string::npos);
}

TEST(CpuLoad, CountsBeyondThirtyTwoBits)
{
    cpu_sample prev{}, cur{};
    const uint64_t big = 5000000000ULL;  // a machine up for years
    for (int i = 0; i < 7; i++)
        prev.ticks[i] = big;
    cur = prev;
    cur.ticks[0] += 30;  // user
    cur.ticks[2] += 10;  // system
    cur.ticks[3] += 60;  // idle
    EXPECT_EQ(cpu_load_between(prev, cur, 7), 40);
}

TEST(CpuLoad, NoTickBetweenSamplesKeepsTheLoad)
{
    reset_conf();
    cpu_sample same{};
    same.ticks[3] = 123;
    EXPECT_EQ(cpu_load_between(same, same, 17), 17);
}

TEST(CpuLoad, ReadingProcStatGivesAPercentage)
{
    reset_conf();
    read_cpu_load();
    EXPECT_GE(conf.cpu.cpu_load, 0);
    EXPECT_LE(conf.cpu.cpu_load, 100);
    EXPECT_GT(conf.cpu.prev.ticks[3], 0u) << "the sample is kept for the next interval";
}
