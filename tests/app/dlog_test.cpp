#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "base/log.h"
#include "client_fixtures.h"

using DlogTest = LogTest;

TEST_F(DlogTest, LevelZeroCreatesNoFileAndWritesNothing)
{
    dlog_init();
    dlog(0, "say: error: (%d) %s [%s]", 32, "Broken pipe", "NEXT");
    EXPECT_EQ(conf.log.file, nullptr);
    EXPECT_NE(access(dlog_path(), F_OK), 0);
}

TEST_F(DlogTest, LevelOneHoldsTheStartLineAndSendErrorsOnly)
{
    conf.debug = 1;
    dlog_init();
    dlog(0, "say: error: (%d) %s [%s]", 32, "Broken pipe", "NEXT");
    dlog(2, "say: %s", "NEXT");
    std::string text = file_text(dlog_path());
    std::regex expected(R"(\[t0\.\d{3} d1 s 0 p\d+\] dlog_init \(0\.1, \d+, \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\)
\[t0\.\d{3} d0 s 0 p\d+\] say: error: \(32\) Broken pipe \[NEXT\]
)");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(DlogTest, PrefixCarriesElapsedTimeLevelStateAndProcess)
{
    conf.debug = 2;
    dlog_init();
    conf.log.start.tv_sec -= 1;
    conf.log.start.tv_nsec -= 234500000;
    if (conf.log.start.tv_nsec < 0) {
        conf.log.start.tv_nsec += 1000000000;
        conf.log.start.tv_sec -= 1;
    }
    conf.player.state = 3;
    dlog(2, "connectto: [%s:%d]", "127.0.0.1", 44322);
    std::string text = file_text(dlog_path());
    std::string line = text.substr(text.find('\n') + 1);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, std::regex(R"(\[t1\.(\d{3}) d2 s 3 p(\d+)\] connectto: \[127\.0\.0\.1:44322\]
)")))
        << line;
    EXPECT_GE(std::stoi(m[1]), 234);
    EXPECT_EQ(std::stoi(m[2]), getpid());
}

TEST_F(DlogTest, StartTruncatesThePreviousRunAndMakesItPrivate)
{
    {
        std::ofstream old(dlog_path());
        old << "an old run\n";
    }
    chmod(dlog_path(), 0644);
    conf.debug = 1;
    dlog_init();
    EXPECT_EQ(file_text(dlog_path()).find("an old run"), std::string::npos);
    struct stat info;
    ASSERT_EQ(stat(dlog_path(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(DlogTest, PlantedSymbolicLinkIsNeitherFollowedNorTruncated)
{
    std::string victim = std::string(test_tmp_dir()) + "/victim";
    {
        std::ofstream out(victim);
        out << "precious\n";
    }
    ASSERT_EQ(symlink(victim.c_str(), dlog_path()), 0);
    conf.debug = 8;
    dlog_init();
    dlog(0, "anything");
    EXPECT_EQ(conf.log.file, nullptr);
    EXPECT_EQ(file_text(victim.c_str()), "precious\n");
}

TEST_F(DlogTest, FileOfAnotherUserIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to plant a file owned by someone else";
    {
        std::ofstream out(dlog_path());
        out << "theirs\n";
    }
    ASSERT_EQ(chown(dlog_path(), 65534, 65534), 0);
    conf.debug = 8;
    dlog_init();
    EXPECT_EQ(conf.log.file, nullptr);
    EXPECT_EQ(file_text(dlog_path()), "theirs\n");
}
