#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <functional>
#include <pwd.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <gtest/gtest.h>

#include "config/conf_file.h"
#include "config/key_table.h"
#include "test_support.h"

namespace {

// The written file with the default bindings, line for line in the order the file lists them.
const std::string default_binding_lines = R"conf(k_quit=q
k_corequit=Q
k_stop=\
k_pause=p
k_prev=[
k_next=]
k_rwnd=,
k_ffwd=.
k_vol-=-
k_vol+==
k_mend=END
k_mdown=DOWN
k_mpgdn=PGDOWN
k_gorootmenu=/
k_gocurrent=?
k_goparent=LEFT
k_make_recursive_list=;
k_enter=RIGHT
k_mhome=HOME
k_mup=UP
k_mpgup=PGUP
k_open=o
k_copy_to_fav=INSERT
k_delete_file=DELETE
k_repeat=r
k_shuffle=s
k_shuffle2=S
k_vids=v
k_eias=e
k_pathtype=f
k_help=h
k_info=i
k_lookfor=l
k_toggle_eq=E
k_toggle_flanger=F
k_toggle_earwax=W
k_toggle_contrast=C
k_toggle_reverb=V
k_toggle_overdrive=O
k_toggle_karaoke=K
k_scrob_fav=u
k_scrob_tog=U
k_gofav0=0
k_gofav1=1
k_gofav2=2
k_gofav3=3
k_gofav4=4
k_gofav5=5
k_gofav6=6
k_gofav7=7
k_gofav8=8
k_gofav9=9
k_setfav0=)
k_setfav1=!
k_setfav2=@
k_setfav3=#
k_setfav4=$
k_setfav5=%
k_setfav6=^
k_setfav7=&
k_setfav8=*
k_setfav9=(
)conf";

std::string expected_file(int debug, int lineart, int fullpath, const std::string &host, int port,
                          const std::string &bindings)
{
    std::ostringstream text;
    text << "# saved by vesk-remote-ncurses-0.1, unknown fields/comments will be lost\n\n"
         << "debug=" << debug << "\n"
         << "lineart=" << lineart << "\n"
         << "fullpath=" << fullpath << "\n"
         << "remote_host=" << host << "\n"
         << "remote_port=" << port << "\n"
         << "\n# special key names: SPACE, UP, DOWN, LEFT, RIGHT, PGUP, PGDOWN, HOME, END,\n"
         << "#  INSERT, DELETE, PAUSE, F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12\n"
         << bindings;
    return text.str();
}

// The bound keys the usage text shows, in its order: quit, stop, pause, prev, next, rwnd, ffwd,
// vol-, vol+, left, right, up, down, pg-up, pg-down, home, end, copy_to_fav, delete_file,
// make_recursive_list, repeat, shuffle, shuffle2.
using usage_keys = std::vector<std::string>;
const usage_keys default_usage_keys = {"q",    "\\",     "p",    "[",      "]",      ",",
                                       ".",    "-",      "=",    "LEFT",   "RIGHT",  "UP",
                                       "DOWN", "PGUP",   "PGDOWN", "HOME", "END",    "INSERT",
                                       "DELETE", ";",    "r",    "s",      "S"};

std::string expected_usage(const std::string &program, const std::string &path,
                           const usage_keys &k)
{
    return "\nvesk-remote-ncurses v0.1\n\n"
           "console keybindings:\n"
           " quit: '" + k[0] + "', stop: '" + k[1] + "', pause: '" + k[2] + "', prev: '" + k[3] +
           "', next: '" + k[4] + "',\n"
           " rwnd: '" + k[5] + "', ffwd: '" + k[6] + "', vol-: '" + k[7] + "', vol+: '" + k[8] +
           "',\n"
           " left (go parent): '" + k[9] + "', right(play/enter): '" + k[10] + "', up: '" + k[11] +
           "', down: '" + k[12] + "',\n"
           " pg-up: '" + k[13] + "', pg-down: '" + k[14] + "', home: '" + k[15] + "', end: '" +
           k[16] + "',\n"
           " copy_to_fav: '" + k[17] + "', delete_file: '" + k[18] + "', make_recursive_list: '" +
           k[19] + "',\n"
           " go to fav dir/list: [0..9], set dir as fav: shift-[0..9],\n"
           " repeat: '" + k[20] + "', shuffle: '" + k[21] + "', shuffle2: '" + k[22] +
           "', vids: 'e'\n\n\n"
           "config: " + path + "\n\nusage: " + program + " [options] [path]\n"
           "\t-l <0/1>\tuse lineart compatible/full\n"
           "\t-H <str>\tremote connect host\n"
           "\t-P <1..65536>\tremote connect port\n"
           "\t-h\t\tthis help (duh)\n";
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::set<std::string> dir_names(const std::string &dir)
{
    std::set<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// Everything fn printed to standard output.
std::string capture_stdout(const std::function<void()> &fn)
{
    std::string file = std::string(test_tmp_dir()) + "/stdout.txt";
    fflush(stdout);
    int saved = dup(1);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    close(fd);
    fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return file_text(file);
}

class ConfFile : public ::testing::Test {
protected:
    std::string home;
    std::string conf_dir;
    std::string path;
    std::vector<std::string> args;
    std::vector<char *> argv;

    void SetUp() override
    {
        reset_conf();
        const char *test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        home = std::string(test_tmp_dir()) + "/" + test;
        conf_dir = home + "/.vesk";
        path = conf_dir + "/vesk-remote-ncurses.conf";
        mkdir(home.c_str(), 0700);
        mkdir(conf_dir.c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        set_args({});
    }

    void set_args(const std::vector<std::string> &options)
    {
        args = {"vesk-remote-ncurses"};
        args.insert(args.end(), options.begin(), options.end());
        argv.clear();
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        conf.argc = (int)args.size();
        conf.argv = argv.data();
    }

    // Loads with the given options and returns what loading printed.
    std::string load(const std::vector<std::string> &options = {})
    {
        set_args(options);
        return capture_stdout([] { EXPECT_EQ(load_conf_rcn(), 0); });
    }
};

TEST_F(ConfFile, NoFileGivesEveryDefaultAndNamesThePath)
{
    conf.list.top = 5;
    conf.list.dmt = 3;
    conf.player.freq = 44100;
    conf.player.state = 2;
    std::string out = load();
    EXPECT_EQ(out, "load_conf_rnc: (" + path + ") can't open for reading, using defaults\n");
    EXPECT_STREQ(conf.conf_path, path.c_str());
    EXPECT_EQ(conf.conf_path_ok, 1);
    EXPECT_STREQ(conf.remote_host, "127.0.0.1");
    EXPECT_EQ(conf.remote_port, 44322);
    EXPECT_EQ(conf.lineart, 0);
    EXPECT_EQ(conf.fullpath, 2);
    EXPECT_EQ(conf.timeremaining_mode, 0);
    EXPECT_EQ(conf.quit, 0);
    EXPECT_EQ(action_by_key_name("q"), 1);
    EXPECT_EQ(action_by_key_name("Q"), 63);
    EXPECT_STREQ(conf.keys[2], "\\");
    EXPECT_STREQ(conf.keys[3], "");
    EXPECT_STREQ(conf.key_names[28], "Go rootmenu");
    // start values of the other subsystems
    EXPECT_EQ(conf.list.top, 0);
    EXPECT_EQ(conf.list.dmt, 0);
    EXPECT_EQ(conf.player.freq, 0);
    EXPECT_EQ(conf.player.state, 0);
    EXPECT_EQ(conf.link.sock, -1);
    EXPECT_EQ(conf.lines, 1);
    EXPECT_EQ(conf.cols, 1);
    EXPECT_EQ(conf.lw, 1);
    EXPECT_EQ(conf.lh, 1);
}

TEST_F(ConfFile, EmptyFileLeavesEveryActionUnbound)
{
    write_file(path, "");
    EXPECT_EQ(load(), "");
    for (int action = 0; action < action_count; action++)
        EXPECT_STREQ(conf.keys[action], "") << action;
    EXPECT_STREQ(conf.remote_host, "127.0.0.1");
    EXPECT_EQ(conf.remote_port, 44322);
    EXPECT_EQ(conf.fullpath, 2);
    EXPECT_STREQ(conf.key_names[1], "Quit");
}

TEST_F(ConfFile, FileBindingOnlyQuit)
{
    write_file(path, "k_quit=x\n");
    load();
    EXPECT_EQ(action_by_key_name("x"), 1);
    EXPECT_EQ(action_by_key_name("q"), 0);
    EXPECT_EQ(action_by_key_name("\\"), 0) << "Stop is unbound";
    for (int action = 2; action < action_count; action++)
        EXPECT_STREQ(conf.keys[action], "") << action;
}

TEST_F(ConfFile, ReaderTakesLinesAsTheyAre)
{
    write_file(path, "# k_stop=z\n"
                     "k_pause = p\n"
                     "k_prev=a\r\n"
                     "k_next=ABCDEFGH\n"
                     "k_rwnd=ABCDEFG\n"
                     "k_vol+==\n"
                     "k_gorootmenu=g\n"
                     "k_go_shortcuts=G\n"
                     "remote_host=a=b\n"
                     "k_stop\n"
                     "K_QUIT=x\n"
                     "k_quit=BACKSPACE\n"
                     "k_help=h\n"
                     "k_info=h\n"
                     "lineart=7\n"
                     "lineart=3\n"
                     "fullpath=junk\n"
                     "debug=  -12xyz\n"
                     "remote_port=99999999999\n"
                     "unknown=1\n"
                     "k_ffwd=n");
    EXPECT_EQ(load(), "") << "malformed lines are skipped silently";
    EXPECT_STREQ(conf.keys[2], "") << "comment and line without =";
    EXPECT_STREQ(conf.keys[4], "") << "blanks make the key unrecognised";
    EXPECT_STREQ(conf.keys[5], "a\r") << "the carriage return stays in the value";
    EXPECT_EQ(action_by_key_name("a"), 0);
    EXPECT_STREQ(conf.keys[6], "ABCDEFG");
    EXPECT_STREQ(conf.keys[7], "ABCDEFG");
    EXPECT_STREQ(conf.keys[10], "=");
    EXPECT_EQ(action_by_key_name("="), 10);
    EXPECT_STREQ(conf.keys[28], "G") << "the alias line came last";
    EXPECT_STREQ(conf.remote_host, "a=b");
    EXPECT_STREQ(conf.keys[1], "BACKSPA");
    EXPECT_EQ(action_by_key_name("BACKSPACE"), 0) << "Backspace can never be bound";
    EXPECT_EQ(action_by_key_name("h"), 30) << "the lower of two actions with one key";
    EXPECT_EQ(conf.lineart, 3) << "the last occurrence wins";
    EXPECT_EQ(conf.fullpath, 0);
    EXPECT_EQ(conf.debug, -12);
    EXPECT_EQ(conf.remote_port, INT_MAX);
    EXPECT_STREQ(conf.keys[8], "n") << "a last line without newline binds";
    save_conf();
    EXPECT_NE(file_text(path).find("\nk_ffwd=n\n"), std::string::npos) << "and is kept";
}

TEST_F(ConfFile, KeyLengthAndLineEnds)
{
    const char *key;
    const char *value;
    std::string line = std::string(30, 'k') + "=v\n";
    ASSERT_TRUE(split_conf_line(line.data(), &key, &value));
    EXPECT_EQ(std::string(key), std::string(30, 'k'));
    EXPECT_STREQ(value, "v");
    line = std::string(31, 'k') + "=v\n";
    EXPECT_FALSE(split_conf_line(line.data(), &key, &value));

    line = "k_quit=" + std::string(4222 - 7, 'a');
    ASSERT_TRUE(split_conf_line(line.data(), &key, &value)) << "a cut line counts as terminated";
    EXPECT_EQ(strlen(value), 4222u - 7);
}

TEST_F(ConfFile, LongLineIsCutAndItsRestReadAsTheNextLine)
{
    write_file(path, std::string(4222, 'x') + "k_quit=y\n" +
                         "k_stop=" + std::string(5000, 'b') + "\n");
    load();
    EXPECT_STREQ(conf.keys[1], "y");
    EXPECT_STREQ(conf.keys[2], "bbbbbbb");
}

TEST_F(ConfFile, SavedFileHasTheExactLayoutAndReadsBack)
{
    load({"-D", "3", "-l", "1", "-H", "core.example", "-P", "5000", "-t", "1"});
    conf.fullpath = 1;
    EXPECT_EQ(capture_stdout(save_conf), "");
    EXPECT_EQ(file_text(path), expected_file(3, 1, 1, "core.example", 5000, default_binding_lines));

    char saved_keys[action_count][key_name_capacity];
    memcpy(saved_keys, conf.keys, sizeof saved_keys);
    reset_conf();
    EXPECT_EQ(load(), "");
    EXPECT_EQ(conf.debug, 3);
    EXPECT_EQ(conf.lineart, 1);
    EXPECT_EQ(conf.fullpath, 1);
    EXPECT_STREQ(conf.remote_host, "core.example");
    EXPECT_EQ(conf.remote_port, 5000);
    EXPECT_EQ(conf.timeremaining_mode, 0) << "-t is not written back";
    EXPECT_EQ(memcmp(saved_keys, conf.keys, sizeof saved_keys), 0);
}

TEST_F(ConfFile, UnboundActionsAreWrittenEmpty)
{
    write_file(path, "k_quit=x\nremote_host=\n");
    load();
    save_conf();
    std::string bindings;
    std::istringstream lines(default_binding_lines);
    for (std::string line; std::getline(lines, line);)
        bindings += line.substr(0, line.find('=') + 1) + (bindings.empty() ? "x" : "") + "\n";
    EXPECT_EQ(file_text(path), expected_file(0, 0, 2, "", 44322, bindings));
}

TEST_F(ConfFile, TimeRemainingModeAndAliasAreReadButNotWritten)
{
    write_file(path, "timeremaining_mode=1\nk_gorootmenu=g\nk_go_shortcuts=G\n");
    load();
    EXPECT_EQ(conf.timeremaining_mode, 1);
    save_conf();
    std::string text = file_text(path);
    EXPECT_EQ(text.find("timeremaining_mode"), std::string::npos);
    EXPECT_EQ(text.find("k_go_shortcuts"), std::string::npos);
    EXPECT_NE(text.find("\nk_gorootmenu=G\n"), std::string::npos);
}

TEST_F(ConfFile, HelpPrintsTheUsageAndExitsWithZero)
{
    set_args({"-h"});
    child_result help = run_in_child([] { load_conf_rcn(); });
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output, "load_conf_rnc: (" + path + ") can't open for reading, using defaults\n" +
                               expected_usage("vesk-remote-ncurses", path, default_usage_keys));

    // Only the second character counts; the keys shown are the configured ones.
    write_file(path, "k_quit=x\nk_mpgdn=F5\n");
    set_args({"-help", "-D", "2"});
    child_result help_word = run_in_child([] { load_conf_rcn(); });
    EXPECT_EQ(help_word.status, 0);
    usage_keys keys(23, "");
    keys[0] = "x";
    keys[14] = "F5";
    EXPECT_EQ(help_word.output, expected_usage("vesk-remote-ncurses", path, keys));
}

TEST_F(ConfFile, UnrecognisedOptionPrintsItsMessageThenTheUsage)
{
    write_file(path, "");
    set_args({"-x", "-H", "host", "-", "--P"});
    child_result result = run_in_child([] { load_conf_rcn(); });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "* Unrecognized option: -x\n"
                             "* Unrecognized option: -\n"
                             "* Unrecognized option: --P\n" +
                                 expected_usage("vesk-remote-ncurses", path, usage_keys(23, "")));
}

TEST_F(ConfFile, OptionsOverrideTheFileAndTakeTheNextArgument)
{
    write_file(path, "remote_port=1000\nremote_host=file.host\nlineart=0\n");
    load({"-H", "-P"});
    EXPECT_STREQ(conf.remote_host, "-P");
    EXPECT_EQ(conf.remote_port, 1000);

    load({"-P"});
    EXPECT_EQ(conf.remote_port, 1000) << "-P last does nothing";

    load({"-H", "other", "some/path", "-Pxyz", "2000", "-l", "1", "-t", "1", "-D", "4"});
    EXPECT_STREQ(conf.remote_host, "other");
    EXPECT_EQ(conf.remote_port, 2000);
    EXPECT_EQ(conf.lineart, 1);
    EXPECT_EQ(conf.timeremaining_mode, 1);
    EXPECT_EQ(conf.debug, 4);
    EXPECT_EQ(conf.quit, 0);

    load({"-P", "abc"});
    EXPECT_EQ(conf.remote_port, 0);
    load({"-P", "1", "-P", "2"});
    EXPECT_EQ(conf.remote_port, 2);

    load({"-H", "new.host"});
    save_conf();
    EXPECT_NE(file_text(path).find("\nremote_host=new.host\n"), std::string::npos);
}

TEST_F(ConfFile, HostWithALineEndCannotPlantLinesInTheSavedFile)
{
    load({"-H", "core\nk_quit=x\nremote_port=1"});
    EXPECT_STREQ(conf.remote_host, "core");
    save_conf();
    load();
    EXPECT_STREQ(conf.remote_host, "core");
    EXPECT_EQ(conf.remote_port, 44322);
    EXPECT_STREQ(conf.keys[1], "q");
}

TEST_F(ConfFile, MissingDirectoryMeansNoSave)
{
    rmdir(conf_dir.c_str());
    load();
    EXPECT_FALSE(save_conf());
    EXPECT_EQ(capture_stdout(print_save_failure),
              "save_conf: can't open for writing (" + path + ")\n"
              "save_conf: No such file or directory\n");
    EXPECT_TRUE(dir_names(home).empty()) << "the directory is not created";
}

// What could not be read whole (here a directory, which opens but gives no line) is left alone.
TEST_F(ConfFile, WhatCouldNotBeReadWholeIsNeverSaved)
{
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(load(), "load_conf_rnc: (" + path + ") could not be read whole: Is a directory\n");
    EXPECT_FALSE(save_conf());
    EXPECT_EQ(capture_stdout(print_save_failure),
              "save_conf: (" + path + ") left as it was: it could not be read at start (Is a "
              "directory)\n");
    EXPECT_TRUE(dir_names(path).empty());
    EXPECT_EQ(dir_names(conf_dir), std::set<std::string>{"vesk-remote-ncurses.conf"});
}

TEST_F(ConfFile, FailedWriteKeepsTheOldFile)
{
    const std::string old_text = "# mine\nk_quit=x\nremote_host=precious\n";
    write_file(path, old_text);
    load();
    child_result result = run_in_child([] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = {100, 100};
        setrlimit(RLIMIT_FSIZE, &small);
        end_child_now(save_conf() ? 1 : 0, nullptr);
    });
    EXPECT_EQ(result.status, 0) << "the failure is reported";
    EXPECT_EQ(file_text(path), old_text);
    EXPECT_EQ(dir_names(conf_dir), std::set<std::string>{"vesk-remote-ncurses.conf"})
        << "no temporary file is left behind";
}

TEST_F(ConfFile, SymlinkedConfigurationReplacesTheTarget)
{
    std::string dotfiles = home + "/dotfiles";
    std::string target = dotfiles + "/vesk.conf";
    mkdir(dotfiles.c_str(), 0700);
    write_file(target, "k_quit=x\n");
    ASSERT_EQ(symlink("../dotfiles/vesk.conf", path.c_str()), 0);
    load();
    EXPECT_STREQ(conf.keys[1], "x");
    bind_default_keys();
    save_conf();

    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    char link[256] = "";
    ASSERT_GT(readlink(path.c_str(), link, sizeof link - 1), 0);
    EXPECT_STREQ(link, "../dotfiles/vesk.conf");
    EXPECT_EQ(file_text(target), expected_file(0, 0, 2, "127.0.0.1", 44322, default_binding_lines));
    EXPECT_EQ(dir_names(dotfiles), std::set<std::string>{"vesk.conf"});

    // A link whose target does not exist yet: the target is created.
    unlink(target.c_str());
    save_conf();
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(file_text(target), expected_file(0, 0, 2, "127.0.0.1", 44322, default_binding_lines));
}

TEST_F(ConfFile, SavingKeepsThePermissions)
{
    write_file(path, "k_quit=q\n");
    chmod(path.c_str(), 0640);
    load();
    save_conf();
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    unlink(path.c_str());
    mode_t old_mask = umask(022);
    save_conf();
    umask(old_mask);
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u) << "a new file is created as a plain create would";
}

// Files of the permission test: made by root for the unprivileged user, removed at the end.
struct scratch_dir {
    std::string path;
    ~scratch_dir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path + "/ro-dir", std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
};

// Root may write any file, so the checks run as an ordinary user: the test's own when it is not
// root, otherwise uid and gid 65534 in a child process. Root itself must leave the files
// without any write bit as they are too.
TEST_F(ConfFile, SavingLeavesProtectedFilesAndRewritesInAReadOnlyDirectory)
{
    constexpr uid_t unprivileged = 65534;
    bool root = geteuid() == 0;
    char top[] = "/tmp/vesk-perm-XXXXXX";
    ASSERT_NE(mkdtemp(top), nullptr);
    scratch_dir scratch{top};
    const std::string base = top;
    const std::string old_text = "k_quit=x\n";
    const std::string ro_file = base + "/ro-file.conf";
    const std::string ro_dir = base + "/ro-dir";
    const std::string in_ro_dir = ro_dir + "/vesk.conf";
    const std::string target = base + "/target.conf";
    const std::string link = base + "/link.conf";
    mkdir(ro_dir.c_str(), 0700);
    for (const std::string &file : {ro_file, in_ro_dir, target})
        write_file(file, old_text);
    ASSERT_EQ(symlink("target.conf", link.c_str()), 0);
    chmod(ro_file.c_str(), 0444);
    chmod(in_ro_dir.c_str(), 0600);
    chmod(target.c_str(), 0444);
    for (const std::string &name : {base, ro_file, ro_dir, in_ro_dir, target, link})
        ASSERT_TRUE(!root || lchown(name.c_str(), unprivileged, unprivileged) == 0) << name;
    chmod(ro_dir.c_str(), 0500);
    struct stat before;
    ASSERT_EQ(stat(in_ro_dir.c_str(), &before), 0);
    load();
    // One digit per file, 1 when it was saved.
    auto save_each = [](std::initializer_list<std::string> files) {
        std::string saved;
        for (const std::string &file : files) {
            snprintf(conf.conf_path, sizeof conf.conf_path, "%s", file.c_str());
            saved += save_conf() ? '1' : '0';
        }
        return saved;
    };

    child_result result = run_in_child([&] {
        if (root && (setgroups(0, nullptr) != 0 || setgid(unprivileged) != 0 ||
                     setuid(unprivileged) != 0))
            end_child_now(77, nullptr);
        printf("%s", save_each({ro_file, in_ro_dir, link}).c_str());
        end_child_now(0, nullptr);
    });
    if (root) {
        EXPECT_EQ(save_each({ro_file, link}), "00") << "saved as root: mode 0444 file, link";
    }
    if (result.status == 77)
        GTEST_SKIP() << "cannot switch to uid 65534 here, so the permissions cannot be tried";
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "010") << "saved: read-only file, read-only directory, link";

    struct stat info;
    EXPECT_EQ(file_text(ro_file), old_text);
    ASSERT_EQ(stat(ro_file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    EXPECT_EQ(file_text(in_ro_dir),
              expected_file(0, 0, 2, "127.0.0.1", 44322, default_binding_lines));
    ASSERT_EQ(stat(in_ro_dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, before.st_ino) << "rewritten in place";
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(dir_names(ro_dir), std::set<std::string>{"vesk.conf"});

    EXPECT_EQ(file_text(target), old_text);
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir_names(base),
              (std::set<std::string>{"ro-file.conf", "ro-dir", "target.conf", "link.conf"}))
        << "no temporary file is left behind";
}

TEST_F(ConfFile, HomeTooLongUsesDefaultsAndNeverSaves)
{
    std::string long_home = home + "/" + std::string(300, 'h');
    setenv("HOME", long_home.c_str(), 1);
    std::string out = load();
    EXPECT_EQ(out, "load_conf_rnc: home directory too long for the configuration path (" +
                       std::to_string(long_home.size()) + " bytes), using defaults and not saving\n");
    EXPECT_EQ(conf.conf_path_ok, 0);
    EXPECT_STREQ(conf.conf_path, "");
    EXPECT_EQ(action_by_key_name("q"), 1) << "every default key is bound";
    EXPECT_EQ(capture_stdout(save_conf), "");
    EXPECT_EQ(dir_names(home), std::set<std::string>{".vesk"});
    EXPECT_TRUE(dir_names(conf_dir).empty());
}

TEST_F(ConfFile, PathFitsOrIsRefused)
{
    const size_t suffix = strlen("/.vesk/vesk-remote-ncurses.conf");
    char path_buf[256];
    std::string fits(255 - suffix, 'h');
    ASSERT_TRUE(make_conf_path(path_buf, sizeof path_buf, fits.c_str()));
    EXPECT_EQ(strlen(path_buf), 255u);
    std::string too_long(256 - suffix, 'h');
    EXPECT_FALSE(make_conf_path(path_buf, sizeof path_buf, too_long.c_str()));
    EXPECT_STREQ(path_buf, "") << "never a cut path";
}

TEST_F(ConfFile, HomeFromThePasswordDatabaseWhenUnset)
{
    const passwd *entry = getpwuid(getuid());
    unsetenv("HOME");
    const char *unset_home = home_directory();
    setenv("HOME", "", 1);
    const char *empty_home = home_directory();
    setenv("HOME", home.c_str(), 1);
    if (entry == nullptr || entry->pw_dir[0] == '\0')
        GTEST_SKIP() << "no home directory in the password database";
    ASSERT_NE(unset_home, nullptr);
    EXPECT_STREQ(unset_home, entry->pw_dir);
    ASSERT_NE(empty_home, nullptr);
    EXPECT_STREQ(empty_home, entry->pw_dir);
    EXPECT_STREQ(home_directory(), home.c_str());
}

}  // namespace
