#include "config/conf_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/protocol.h"
#include "base/text.h"
#include "conf.h"
#include "config/key_table.h"

static constexpr const char *conf_path_format = "%s/.vesk/vesk-remote-ncurses.conf";
static constexpr int line_capacity = 4222;
static constexpr size_t config_key_limit = 30;
static constexpr size_t host_limit = sizeof conf.remote_host - 1;
static constexpr int link_hop_limit = 40;

struct int_setting {
    const char *key;
    int conf_record::*field;
};

// Integer settings read from the file; timeremaining_mode is read but never written back.
static constexpr int_setting int_settings[] = {
    {"debug", &conf_record::debug},
    {"lineart", &conf_record::lineart},
    {"fullpath", &conf_record::fullpath},
    {"timeremaining_mode", &conf_record::timeremaining_mode},
    {"remote_port", &conf_record::remote_port},
};
static_assert(std::size(int_settings) == 5);

// The bindings the saved file lists: every action with a configuration key, in the order of the
// action list; the alias k_go_shortcuts is never written.
static constexpr int saved_binding_count()
{
    int count = 0;
    for (const action_def &def : action_defs)
        count += def.config_key != nullptr ? 1 : 0;
    return count;
}
static_assert(saved_binding_count() == 62);

const char *home_directory()
{
    const char *home = getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const passwd *entry = getpwuid(getuid());
    if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] == '\0')
        return nullptr;
    return entry->pw_dir;
}

bool make_conf_path(char *path, size_t size, const char *home)
{
    int length = snprintf(path, size, conf_path_format, home);
    if (length < 0 || (size_t)length >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

// Builds conf_path; without a usable one the defaults apply and nothing is ever saved.
static void set_conf_path()
{
    const char *home = home_directory();
    conf.conf_path_ok = 0;
    conf.conf_path[0] = '\0';
    if (home == nullptr) {
        printf("load_conf_rnc: no home directory, using defaults and not saving\n");
        return;
    }
    if (!make_conf_path(conf.conf_path, sizeof conf.conf_path, home)) {
        printf("load_conf_rnc: home directory too long for the configuration path (%zu bytes), "
               "using defaults and not saving\n",
               strlen(home));
        return;
    }
    conf.conf_path_ok = 1;
}

static void set_start_values()
{
    zt_strncpy(conf.remote_host, "127.0.0.1", host_limit);
    conf.remote_port = default_port;
    conf.lineart = 0;
    conf.fullpath = 2;
    conf.player.state = 0;
    conf.player.freq = 0;
    conf.player.bitrate = 0;
    conf.player.chan = 0;
    conf.list.cur = 0;
    conf.list.pos = 0;
    conf.list.top = 0;
    conf.list.dmt = 0;
    conf.list.fmt = 0;
    conf.link.sock = -1;
    conf.lines = 1;
    conf.cols = 1;
    conf.lw = 1;
    conf.lh = 1;
}

static void store_setting(const char *key, const char *value)
{
    for (const int_setting &setting : int_settings) {
        if (strcmp(key, setting.key) == 0) {
            conf.*setting.field = read_decimal(value);
            return;
        }
    }
    if (strcmp(key, "remote_host") == 0) {
        zt_strncpy(conf.remote_host, value, host_limit);
        return;
    }
    int number = action_by_config_key(key);
    if (number != action::none)
        bind_key(number, value);
}

bool split_conf_line(char *line, const char **key, const char **value)
{
    if (line[0] == '#')
        return false;
    // A last line without a newline counts like any other: an editor may leave it so.
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[length - 1] = '\0';
    char *equals = strchr(line, '=');
    if (equals == nullptr || (size_t)(equals - line) > config_key_limit)
        return false;
    *equals = '\0';
    *key = line;
    *value = equals + 1;
    return true;
}

// False, with errno set, when reading stopped before the end of the file.
static bool read_conf_file(FILE *file)
{
    char line[line_capacity + 1];
    const char *key;
    const char *value;
    while (fgets(line, sizeof line, file) != nullptr)
        if (split_conf_line(line, &key, &value))
            store_setting(key, value);
    return !ferror(file);
}

// A file that is there but was not read whole holds what the user wrote and this run does not
// know: it must not be saved over.
static void load_bindings()
{
    conf.conf_read_error = 0;
    FILE *file = conf.conf_path_ok ? fopen(conf.conf_path, "r") : nullptr;
    if (file == nullptr) {
        if (conf.conf_path_ok) {
            if (errno != ENOENT)
                conf.conf_read_error = errno;
            printf("load_conf_rnc: (%s) can't open for reading, using defaults\n", conf.conf_path);
        }
        bind_default_keys();
        return;
    }
    if (!read_conf_file(file)) {
        conf.conf_read_error = errno != 0 ? errno : EIO;
        printf("load_conf_rnc: (%s) could not be read whole: %s\n", conf.conf_path,
               strerror(conf.conf_read_error));
    }
    fclose(file);
}

static void apply_value_option(char option, const char *value)
{
    switch (option) {
    case 'D':
        conf.debug = read_decimal(value);
        break;
    case 'H':
        // A line end in the argument would end the remote_host line of the saved file early and
        // plant the rest as lines of their own; no host name holds one.
        zt_strncpy(conf.remote_host, value, std::min(host_limit, strcspn(value, "\n")));
        break;
    case 'P':
        conf.remote_port = read_decimal(value);
        break;
    case 'l':
        conf.lineart = read_decimal(value);
        break;
    case 't':
        conf.timeremaining_mode = read_decimal(value);
        break;
    }
}

static bool takes_value(char option)
{
    return option != '\0' && strchr("DHPlt", option) != nullptr;
}

// Only the second character of an option counts; a value option takes the next argument as is.
static void apply_command_line(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (arg[0] != '-')
            continue;
        char option = arg[1];
        if (takes_value(option)) {
            if (i + 1 < argc)
                apply_value_option(option, argv[++i]);
        } else if (option == 'h') {
            conf.quit = 2;
        } else {
            printf("* Unrecognized option: %s\n", arg);
            conf.quit = 2;
        }
    }
}

int load_conf_rcn()
{
    set_conf_path();
    conf.quit = 0;
    clear_bindings();
    set_start_values();
    fill_display_names();
    load_bindings();
    apply_command_line(conf.argc, conf.argv);
    if (conf.quit == 2) {
        print_usage(conf.argc > 0 ? conf.argv[0] : "vesk-remote-ncurses", conf.conf_path);
        exit(0);
    }
    return 0;
}

void print_usage(const char *program, const char *conf_path)
{
    const auto &k = conf.keys;
    printf("\n%s v%s\n\n", "vesk-remote-ncurses", program_version);
    printf("console keybindings:\n"
           " quit: '%s', stop: '%s', pause: '%s', prev: '%s', next: '%s',\n"
           " rwnd: '%s', ffwd: '%s', vol-: '%s', vol+: '%s',\n"
           " left (go parent): '%s', right(play/enter): '%s', up: '%s', down: '%s',\n"
           " pg-up: '%s', pg-down: '%s', home: '%s', end: '%s',\n"
           " copy_to_fav: '%s', delete_file: '%s', make_recursive_list: '%s',\n"
           " go to fav dir/list: [0..9], set dir as fav: shift-[0..9],\n"
           " repeat: '%s', shuffle: '%s', shuffle2: '%s', vids: 'e'\n\n\n",
           k[action::quit], k[action::stop], k[action::pause], k[action::prev], k[action::next],
           k[action::rewind], k[action::fast_forward], k[action::volume_down],
           k[action::volume_up], k[action::go_parent], k[action::enter], k[action::go_up],
           k[action::go_down], k[action::page_up], k[action::page_down], k[action::go_top],
           k[action::go_bottom], k[action::copy_to_fav], k[action::delete_file],
           k[action::make_recursive_list], k[action::toggle_repeat], k[action::toggle_shuffle],
           k[action::toggle_shuffle2]);
    printf("config: %s\n\nusage: %s [options] [path]\n"
           "\t-l <0/1>\tuse lineart compatible/full\n"
           "\t-H <str>\tremote connect host\n"
           "\t-P <1..65536>\tremote connect port\n"
           "\t-h\t\tthis help (duh)\n",
           conf_path, program);
}

static bool put(FILE *file, const char *format, ...) __attribute__((format(printf, 2, 3)));

static bool put(FILE *file, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vfprintf(file, format, args);
    va_end(args);
    return written >= 0;
}

static bool write_conf(FILE *file)
{
    bool ok = put(file, "# saved by vesk-remote-ncurses-%s, unknown fields/comments will be lost\n\n",
                  program_version);
    ok = ok && put(file, "debug=%d\n", conf.debug);
    ok = ok && put(file, "lineart=%d\n", conf.lineart);
    ok = ok && put(file, "fullpath=%d\n", conf.fullpath);
    ok = ok && put(file, "remote_host=%s\n", conf.remote_host);
    ok = ok && put(file, "remote_port=%d\n", conf.remote_port);
    ok = ok && put(file, "\n# special key names: SPACE, UP, DOWN, LEFT, RIGHT, PGUP, PGDOWN, "
                         "HOME, END,\n#  INSERT, DELETE, PAUSE, F1, F2, F3, F4, F5, F6, F7, F8, "
                         "F9, F10, F11, F12\n");
    for (const action_def &def : action_defs)
        if (def.config_key != nullptr)
            ok = ok && put(file, "%s=%s\n", def.config_key, conf.keys[def.id]);
    return ok;
}

static bool name_too_long()
{
    errno = ENAMETOOLONG;
    return false;
}

// Follows symbolic links so that saving replaces the file a link points to, not the link.
// False, with errno set, when the path cannot be followed.
static bool resolve_links(const char *path, char *target, size_t size)
{
    if (snprintf(target, size, "%s", path) >= (int)size)
        return name_too_long();
    for (int hop = 0; hop < link_hop_limit; hop++) {
        struct stat info;
        if (lstat(target, &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        char link[PATH_MAX];
        ssize_t length = readlink(target, link, sizeof link);
        if (length < 0)
            return false;
        if ((size_t)length >= sizeof link)
            return name_too_long();
        link[length] = '\0';
        const char *slash = strrchr(target, '/');
        size_t dir_length = (link[0] == '/' || slash == nullptr) ? 0 : slash - target + 1;
        if (dir_length + length >= size)
            return name_too_long();
        memcpy(target + dir_length, link, length + 1);
    }
    errno = ELOOP;
    return false;
}

// The new file gets the permissions of the one it replaces, or those a plain create would give.
static void copy_mode(int fd, const char *target)
{
    struct stat info;
    if (stat(target, &info) == 0) {
        fchmod(fd, info.st_mode & 07777);
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

// A file the user may not write was protected on purpose. One without any write bit was made
// read-only and stays so even for root, who may write anything: editors refuse it too.
static bool may_replace(const char *target)
{
    struct stat info;
    if (stat(target, &info) == 0 && (info.st_mode & 0222) == 0) {
        errno = EACCES;
        return false;
    }
    return faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) == 0;
}

// Closes a written file; false when writing or closing failed, errno naming the first failure.
static bool close_written(FILE *file, bool written)
{
    int error = errno;
    bool closed = fclose(file) == 0;
    if (!written)
        errno = error;
    return written && closed;
}

// Removes the unfinished file; errno keeps the reason it was given up.
static void discard(const char *temp)
{
    int error = errno;
    unlink(temp);
    errno = error;
}

// The directory takes no new file but the file itself may be written: rewrite it where it is,
// keeping its owner and mode, and cut the old text only once the new one is written.
static bool rewrite_in_place(const char *target)
{
    int fd = open(target, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    FILE *file = fdopen(fd, "w");
    if (file == nullptr) {
        int error = errno;
        close(fd);
        errno = error;
        return false;
    }
    bool ok = write_conf(file) && fflush(file) == 0;
    long length = ok ? ftell(file) : -1;
    ok = ok && length >= 0 && ftruncate(fd, length) == 0 && fsync(fd) == 0;
    return close_written(file, ok);
}

// Writes the whole file beside the target and renames it over the target only when complete.
// False, with errno of the failing call, when nothing was saved.
static bool replace_conf_file(const char *path)
{
    char target[PATH_MAX];
    char temp[PATH_MAX];
    if (!resolve_links(path, target, sizeof target))
        return false;
    bool exists = access(target, F_OK) == 0;
    if (exists && !may_replace(target))
        return false;
    if (snprintf(temp, sizeof temp, "%s.XXXXXX", target) >= (int)sizeof temp)
        return name_too_long();
    int fd = mkstemp(temp);
    if (fd < 0)
        return exists && (errno == EACCES || errno == EPERM) && rewrite_in_place(target);
    copy_mode(fd, target);
    FILE *file = fdopen(fd, "w");
    if (file == nullptr) {
        close(fd);
        discard(temp);
        return false;
    }
    bool ok = write_conf(file) && fflush(file) == 0 && fsync(fd) == 0;
    ok = close_written(file, ok) && rename(temp, target) == 0;
    if (!ok)
        discard(temp);
    return ok;
}

bool save_conf()
{
    conf.save_error = 0;
    errno = 0;
    if (!conf.conf_path_ok)
        return true;
    if (conf.conf_read_error != 0)
        return false;
    if (replace_conf_file(conf.conf_path))
        return true;
    // Every failing call sets errno; EIO stands in should one not.
    conf.save_error = errno != 0 ? errno : EIO;
    return false;
}

void print_save_failure()
{
    if (conf.conf_read_error != 0) {
        printf("save_conf: (%s) left as it was: it could not be read at start (%s)\n",
               conf.conf_path, strerror(conf.conf_read_error));
        return;
    }
    printf("save_conf: can't open for writing (%s)\n", conf.conf_path);
    printf("save_conf: %s\n", strerror(conf.save_error));
}
