// Terminal bytes of special keys and terminal input for the input tests.
#pragma once

#include <curses.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

// The bytes the test terminal sends for a terminfo key capability ("kcuu1", "kf5", ...).
inline std::string key_bytes(const char *capability)
{
    char *bytes = tigetstr(capability);
    if (bytes == nullptr || bytes == (char *)-1)
        return "";
    return bytes;
}

// The terminal input becomes a pipe that holds bytes and then reports end of file.
inline void input_then_eof(const std::string &bytes)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fds[1]);
    ASSERT_EQ(dup2(fds[0], 0), 0);
    close(fds[0]);
}
