#include "base/log.h"

#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "conf.h"

const char *tmp_dir()
{
    return conf.tmp_dir[0] ? conf.tmp_dir : "/tmp";
}

const char *dlog_path()
{
    static char path[320];
    snprintf(path, sizeof path, "%s/vesk-remote-nc.log", tmp_dir());
    return path;
}

// The log lives in a world-writable directory: never follow a planted link, never truncate a
// file that belongs to someone else or has other names. A file of ours left by an older run may
// be readable by others: it becomes private like a new one before anything is written.
static FILE *open_log_safely(const char *path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return nullptr;
    struct stat st;
    bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                st.st_nlink == 1;
    if (!ours || fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, "w");
    if (f == nullptr)
        close(fd);
    return f;
}

void dlog_init()
{
    time_t now = time(nullptr);
    clock_gettime(CLOCK_REALTIME, &conf.log.start);
    if (conf.debug > 0)
        conf.log.file = open_log_safely(dlog_path());
    conf.log.pid = (int)getpid();
    struct tm tm;
    localtime_r(&now, &tm);
    dlog(1, "dlog_init (%s, %d, %d-%02d-%02d %02d:%02d:%02d)", program_version, (int)now,
         tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

void dlog(int level, const char *format, ...)
{
    FILE *f = conf.log.file;
    if (conf.debug < level || f == nullptr)
        return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    double elapsed = (double)(now.tv_sec - conf.log.start.tv_sec) +
                     (double)(now.tv_nsec - conf.log.start.tv_nsec) / 1e9;
    flock(fileno(f), LOCK_EX);
    fseek(f, 0, SEEK_END);
    fprintf(f, "[t%.3f d%d s%2d p%d] ", (double)(float)elapsed, level, conf.player.state,
            conf.log.pid);
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputc('\n', f);
    fflush(f);
    flock(fileno(f), LOCK_UN);
}
