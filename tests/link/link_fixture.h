// Shared set-up of the link tests: a clean record, the log in the private directory, and helpers
// to read the log and count open descriptors.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "base/log.h"
#include "test_support.h"

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_conf();
        unlink(dlog_path());
    }

    // Opens the debug log at the given level.
    static void start_log(int level)
    {
        conf.debug = level;
        dlog_init();
    }

    static std::string log_text() { return file_text(dlog_path()); }

    static bool log_has(const std::string &needle)
    {
        return log_text().find(needle) != std::string::npos;
    }

    static int open_descriptors()
    {
        int count = 0;
        DIR *dir = opendir("/proc/self/fd");
        while (dirent *e = readdir(dir))
            count += e->d_name[0] != '.';
        closedir(dir);
        return count;
    }
};
