// Shared set-up of the link tests: a clean record, the log in the private directory, helpers to
// read the log, and a count of open descriptors.
#pragma once

#include <dirent.h>
#include <fcntl.h>

#include "client_fixtures.h"

class LinkTest : public LogTest {
protected:
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
