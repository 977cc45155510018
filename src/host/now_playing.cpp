#include "host/now_playing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/log.h"

namespace {

// USER names the file; without it, the account this process runs as.
const char *user_name()
{
    const char *user = getenv("USER");
    if (user != nullptr && user[0] != '\0')
        return user;
    passwd *account = getpwuid(geteuid());
    return account != nullptr ? account->pw_name : nullptr;
}

// The directory lies in a world-writable place: use it only when it is a real directory of
// ours that nobody else can write to, so nothing in it can have been planted by someone else.
int open_private_dir(const char *path)
{
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH))) {
        close(fd);
        return -1;
    }
    return fd;
}

bool write_all(int fd, const char *text, size_t length)
{
    while (length > 0) {
        ssize_t n = write(fd, text, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text += n;
        length -= (size_t)n;
    }
    return true;
}

} // namespace

void write_now_playing_file(const char *text)
{
    const char *user = user_name();
    if (user == nullptr || strchr(user, '/') != nullptr)
        return;
    char dir_path[512];
    if (snprintf(dir_path, sizeof dir_path, "%s/vesk-%s", tmp_dir(), user) >= (int)sizeof dir_path)
        return;
    int dir_fd = open_private_dir(dir_path);
    if (dir_fd < 0)
        return;
    // Never through a link, and never blocking on something that is not a plain file.
    int fd = openat(dir_fd, "vesk-now-playing.txt",
                    O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    close(dir_fd);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) == 0)
        write_all(fd, text, strlen(text));
    close(fd);
}
