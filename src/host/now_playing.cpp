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

constexpr const char *file_name = "vesk-now-playing.txt";

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

// What stands at the file's name: false for anything but a plain file (a link, a pipe), put
// there on purpose, which stays. A plain file's mode goes to the one replacing it.
bool replaceable(int dir_fd, bool &exists, mode_t &mode)
{
    struct stat st;
    exists = fstatat(dir_fd, file_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists)
        return errno == ENOENT;
    mode = st.st_mode & 07777;
    return S_ISREG(st.st_mode);
}

// Creates the temporary file afresh; one that an earlier process of the same number left goes
// first. Never through a link.
int create_temp(int dir_fd, const char *name)
{
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    int fd = openat(dir_fd, name, flags, 0644);
    if (fd < 0 && errno == EEXIST && unlinkat(dir_fd, name, 0) == 0)
        fd = openat(dir_fd, name, flags, 0644);
    return fd;
}

// Writes text under a temporary name and renames it over the file, so that a reader finds the
// old text or the new one, never an empty or half-written file.
bool replace_file(int dir_fd, const char *text)
{
    bool exists;
    mode_t mode = 0;
    if (!replaceable(dir_fd, exists, mode))
        return false;
    // One name per process: two clients of one user never write into each other's file.
    char temp[64];
    snprintf(temp, sizeof temp, ".%s.%d", file_name, (int)getpid());
    int fd = create_temp(dir_fd, temp);
    if (fd < 0)
        return false;
    bool written = (!exists || fchmod(fd, mode) == 0) && write_all(fd, text, strlen(text));
    written = close(fd) == 0 && written;
    if (written && renameat(dir_fd, temp, dir_fd, file_name) == 0)
        return true;
    unlinkat(dir_fd, temp, 0);
    return false;
}

} // namespace

bool write_now_playing_file(const char *text)
{
    const char *user = user_name();
    if (user == nullptr || strchr(user, '/') != nullptr)
        return false;
    char dir_path[512];
    if (snprintf(dir_path, sizeof dir_path, "%s/vesk-%s", tmp_dir(), user) >= (int)sizeof dir_path)
        return false;
    int dir_fd = open_private_dir(dir_path);
    if (dir_fd < 0)
        return false;
    bool replaced = replace_file(dir_fd, text);
    close(dir_fd);
    return replaced;
}
