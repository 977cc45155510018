// The configuration file and the command line under arbitrary input, and the file written at
// quit, which must read back to the same settings and bindings.
//
// An input holding two NUL bytes in a row is the command line before them (arguments separated
// by single NULs) and the configuration file after them; without them the whole input is the
// file. An empty file part after the separator means that there is no file at all.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "conf.h"
#include "config/conf_file.h"

namespace {

constexpr const char *program_name = "vesk-remote-ncurses";

char home[256];
char conf_file[320];

// The settings and bindings that save_conf writes.
struct saved_settings {
    int debug;
    int lineart;
    int fullpath;
    int remote_port;
    char remote_host[sizeof conf.remote_host];
    char keys[action_count][key_name_capacity];
};

saved_settings snapshot()
{
    saved_settings s{};
    s.debug = conf.debug;
    s.lineart = conf.lineart;
    s.fullpath = conf.fullpath;
    s.remote_port = conf.remote_port;
    memcpy(s.remote_host, conf.remote_host, sizeof s.remote_host);
    memcpy(s.keys, conf.keys, sizeof s.keys);
    return s;
}

bool same(const saved_settings &a, const saved_settings &b)
{
    return a.debug == b.debug && a.lineart == b.lineart && a.fullpath == b.fullpath &&
           a.remote_port == b.remote_port && strcmp(a.remote_host, b.remote_host) == 0 &&
           memcmp(a.keys, b.keys, sizeof a.keys) == 0;
}

bool takes_value(const std::string &arg)
{
    return arg.size() >= 2 && arg[0] == '-' && strchr("DHPlt", arg[1]) != nullptr;
}

// The arguments without those that print the usage text and end the process ("-h", "-" and
// unknown options); a value option keeps the argument after it, whatever it is.
std::vector<std::string> usable_arguments(const std::string &text)
{
    std::vector<std::string> split;
    size_t start = 0;
    for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
        split.push_back(text.substr(start, nul - start));
    split.push_back(text.substr(start));

    std::vector<std::string> kept;
    for (size_t i = 0; i < split.size(); i++) {
        const std::string &arg = split[i];
        if (arg.empty() || arg[0] != '-') {
            kept.push_back(arg);
        } else if (takes_value(arg)) {
            kept.push_back(arg);
            if (i + 1 < split.size())
                kept.push_back(split[++i]);
        }
    }
    return kept;
}

void write_file(const char *path, const uint8_t *data, size_t size)
{
    FILE *f = fopen(path, "w");
    if (f == nullptr)
        abort();
    if (size > 0 && fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
}

// Start-up as the entry point does it: debug 0, the command line stored, then the reader.
void load(std::vector<std::string> &args)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program_name));
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    conf.debug = 0;
    conf.timeremaining_mode = 0;
    conf.argc = (int)argv.size() - 1;
    conf.argv = argv.data();
    load_conf_rcn();
    conf.argc = 0;
    conf.argv = nullptr;
}

void remove_home()
{
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Under TMPDIR when set (scripts/fuzz points it at its scratch directory), else in memory
    // where there is a /dev/shm: every run writes and saves the file.
    const char *base = getenv("TMPDIR");
    if (base == nullptr || base[0] == '\0')
        base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(home, sizeof home, "%s/vesk-fuzz-home-XXXXXX", base);
    if (mkdtemp(home) == nullptr)
        abort();
    atexit(remove_home);
    char dir[300];
    snprintf(dir, sizeof dir, "%s/.vesk", home);
    if (mkdir(dir, 0700) != 0)
        abort();
    snprintf(conf_file, sizeof conf_file, "%s/vesk-remote-ncurses.conf", dir);
    setenv("HOME", home, 1);
    // The reader reports a missing file and the usage text goes to standard output; thousands of
    // runs need no copy.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input((const char *)data, size);
    size_t separator = input.find(std::string("\0\0", 2));
    std::vector<std::string> args;
    std::string file = input;
    if (separator != std::string::npos) {
        args = usable_arguments(input.substr(0, separator));
        file = input.substr(separator + 2);
    }
    if (separator != std::string::npos && file.empty())
        unlink(conf_file);
    else
        write_file(conf_file, (const uint8_t *)file.data(), file.size());

    load(args);
    if (!conf.conf_path_ok || strcmp(conf.conf_path, conf_file) != 0)
        abort();
    // The usage text with whatever keys the file bound.
    print_usage(program_name, conf.conf_path);
    saved_settings before = snapshot();
    save_conf();

    std::vector<std::string> none;
    load(none);
    if (!same(before, snapshot())) {
        fprintf(stderr, "fuzz_config: the saved file reads back to other settings\n");
        abort();
    }
    return 0;
}
