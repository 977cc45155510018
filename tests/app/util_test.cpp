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
