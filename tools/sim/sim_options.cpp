#include "sim_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/protocol.h"
#include "sim_core.h"

namespace {

// A whole decimal number within low..high; false for anything else.
bool read_number(const char *text, int low, int high, int &value)
{
    errno = 0;
    char *end = nullptr;
    long n = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < low || n > high)
        return false;
    value = (int)n;
    return true;
}

struct number_option {
    const char *name;
    int low;
    int high;
    int sim_options::*field;
};

constexpr number_option number_options[] = {
    {"--port", 0, 65535, &sim_options::port},
    {"--big", 0, sim_big_max, &sim_options::big},
    {"--tick-ms", 1, 60000, &sim_options::tick_ms},
};

// The value of "--name value" or "--name=value"; null when arg is not that option.
const char *option_value(const char *arg, const char *name, int argc, const char *const *argv,
                         int &i)
{
    size_t n = strlen(name);
    if (strncmp(arg, name, n) != 0)
        return nullptr;
    if (arg[n] == '=')
        return arg + n + 1;
    if (arg[n] != '\0')
        return nullptr;
    if (i + 1 >= argc)
        return "";
    return argv[++i];
}

bool parse_number_option(const char *arg, int argc, const char *const *argv, int &i,
                         sim_options &opts, char *error, size_t cap, bool &matched)
{
    for (const number_option &option : number_options) {
        const char *value = option_value(arg, option.name, argc, argv, i);
        if (value == nullptr)
            continue;
        matched = true;
        if (read_number(value, option.low, option.high, opts.*option.field))
            return true;
        snprintf(error, cap, "%s needs a number from %d to %d, not \"%s\"", option.name,
                 option.low, option.high, value);
        return false;
    }
    matched = false;
    return true;
}

} // namespace

bool sim_parse_options(int argc, const char *const *argv, sim_options &opts, char *error,
                       size_t cap)
{
    opts = sim_options{};
    snprintf(opts.host, sizeof opts.host, "127.0.0.1");
    opts.port = default_port;
    opts.tick_ms = 1000;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        bool matched = false;
        if (!parse_number_option(arg, argc, argv, i, opts, error, cap, matched))
            return false;
        if (matched)
            continue;
        if (const char *host = option_value(arg, "--host", argc, argv, i)) {
            snprintf(opts.host, sizeof opts.host, "%s", host);
        } else if (strcmp(arg, "--quiet") == 0 || strcmp(arg, "-q") == 0) {
            opts.quiet = true;
        } else if (strcmp(arg, "--linger") == 0) {
            opts.linger = true;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            opts.help = true;
        } else {
            snprintf(error, cap, "unknown option \"%s\"", arg);
            return false;
        }
    }
    if (opts.host[0] == '\0') {
        snprintf(error, cap, "--host needs a host name or address");
        return false;
    }
    return true;
}

void sim_print_usage(const char *name)
{
    printf("usage: %s [options]\n"
           "A simulated vesk-core with a made-up library, for trying and testing the client.\n"
           "\t--host <addr>\taddress to listen on (default 127.0.0.1)\n"
           "\t--port <n>\tport to listen on (default %d; 0 takes a free one)\n"
           "\t--big <n>\tadd a directory \"Big\" of n clips (at most %d)\n"
           "\t--tick-ms <n>\treal milliseconds per played second (default 1000)\n"
           "\t--quiet\t\tno log of connections and commands on standard error\n"
           "\t--linger\tasked to stop, serve on until 2 s after the last client has left\n"
           "\t--help\t\tthis text\n"
           "It prints \"listening on <addr>:<port>\" once it accepts connections.\n",
           name, default_port, sim_big_max);
}
