// Measures the built client as a user meets it: the real program in an 80x24 pseudo-terminal,
// with this program as its core on a loopback port. Prints one line per run and figure, then a
// "figure <name> <median> <min> <max>" line per figure for scripts/bench.
//
//   measure_client [--client PATH] [--before PATH] [--runs N] [--long-runs N] [--cpu N|free]
//                  [--client-cpu N]
//
// --before measures a second build of the client in the same runs, in turn with the first (which
// goes first alternates from run to run); its figures are named with "before_" in front.
//
// By default this program and the client share one processor (the last one this program may
// use): on a virtual machine, waking a process on an idle processor of its own costs several
// times more than the process's own work, and where the scheduler happens to put the client
// would otherwise decide the figures. --client-cpu puts the client on another processor,
// --cpu free leaves the placement to the scheduler.
//
// The client's processor time is read from /proc/<pid>/schedstat (nanoseconds on the processor);
// /proc/<pid>/stat counts only whole 10 ms ticks, too coarse for an idle client.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifndef VESK_CLIENT_PATH
#define VESK_CLIENT_PATH "build/vesk-remote-ncurses"
#endif

namespace {

constexpr int screen_rows = 24;
constexpr int screen_cols = 80;
constexpr int shown_list_entries = 16384;
// Lists loaded into a running client, sent at once: a directory and a whole library.
constexpr int loaded_list_entries[] = {16384, 100000};
// A listing that fits in one read, so that the start shows the client's own pace.
constexpr int short_list_entries = 60;
constexpr int latency_keys = 200;
constexpr int latency_key_gap_ms = 30;
constexpr int down_keys = 500;
constexpr int down_key_gap_ms = 10;
constexpr int quiet_window_s = 10;

// Processor of the client, -1 for wherever the scheduler puts it.
int client_cpu = -1;

// Texts of the first entry and of the message the client shows at LIST_END. Neither holds a blank
// or a long run of one character, so curses writes each as one run of bytes.
constexpr const char *first_entry_text = "First-entry/of-the-bench/list.ogg";
constexpr const char *loaded_message = "Loaded ";

int64_t now_ns()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

void sleep_until(int64_t ns)
{
    timespec t{(time_t)(ns / 1000000000), (long)(ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

void sleep_ms(int ms)
{
    sleep_until(now_ns() + (int64_t)ms * 1000000);
}

// What the pseudo-terminal has shown so far, read all the time by its own thread so that the
// client never waits on a full terminal; it can watch for one text to appear.
struct screen_watch {
    std::mutex lock;
    std::condition_variable changed;
    std::string wanted;
    std::string tail;
    int64_t seen_at = 0;
    int64_t last_output_at = 0;
    uint64_t bytes = 0;
    std::atomic<bool> stop{false};
};

void note_output(screen_watch &w, const char *data, size_t length)
{
    std::lock_guard<std::mutex> guard(w.lock);
    int64_t at = now_ns();
    w.bytes += length;
    w.last_output_at = at;
    if (w.wanted.empty() || w.seen_at != 0)
        return;
    w.tail.append(data, length);
    if (w.tail.find(w.wanted) != std::string::npos) {
        w.seen_at = at;
        w.changed.notify_all();
    }
    if (w.tail.size() > w.wanted.size())
        w.tail.erase(0, w.tail.size() - w.wanted.size());
}

void drain_terminal(int master, screen_watch *w)
{
    std::vector<char> chunk(65536);
    while (!w->stop.load()) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = read(master, chunk.data(), chunk.size());
        if (n <= 0) {
            // The client has gone: the terminal reads as hung up from now on.
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        note_output(*w, chunk.data(), (size_t)n);
    }
}

void watch_for(screen_watch &w, const char *text)
{
    std::lock_guard<std::mutex> guard(w.lock);
    w.wanted = text;
    w.tail.clear();
    w.seen_at = 0;
}

// The moment the watched text appeared, or 0 when it did not within the limit.
int64_t wait_seen(screen_watch &w, int limit_ms)
{
    std::unique_lock<std::mutex> guard(w.lock);
    w.changed.wait_for(guard, std::chrono::milliseconds(limit_ms), [&] { return w.seen_at != 0; });
    return w.seen_at;
}

// Waits until the terminal has been quiet for quiet_ms, at most limit_ms.
void wait_quiet(screen_watch &w, int quiet_ms, int limit_ms)
{
    int64_t end = now_ns() + (int64_t)limit_ms * 1000000;
    while (now_ns() < end) {
        int64_t last;
        {
            std::lock_guard<std::mutex> guard(w.lock);
            last = w.last_output_at;
        }
        if (now_ns() - last >= (int64_t)quiet_ms * 1000000)
            return;
        sleep_ms(5);
    }
}

struct session {
    pid_t pid = -1;
    int master = -1;
    int listener = -1;
    int peer = -1;
    int64_t forked_at = 0;
    std::string home;
    std::string user;
    screen_watch watch;
    std::thread drainer;
};

bool send_all(int fd, const std::string &text)
{
    for (size_t at = 0; at < text.size();) {
        ssize_t n = send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += (size_t)n;
    }
    return true;
}

bool write_key(int master, const char *bytes)
{
    size_t length = strlen(bytes);
    return write(master, bytes, length) == (ssize_t)length;
}

// Reads from the peer until the received text holds `wanted`; false after limit_ms.
bool receive_until(int fd, const char *wanted, int limit_ms)
{
    std::string got;
    int64_t end = now_ns() + (int64_t)limit_ms * 1000000;
    char buf[512];
    while (got.find(wanted) == std::string::npos) {
        int left = (int)((end - now_ns()) / 1000000);
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            continue;
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        got.append(buf, (size_t)n);
    }
    return true;
}

void discard_pending(int fd)
{
    char buf[4096];
    while (recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
}

int open_listener(int *port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || bind(fd, (sockaddr *)&a, sizeof a) != 0 || listen(fd, 1) != 0 ||
        getsockname(fd, (sockaddr *)&a, &length) != 0) {
        perror("measure_client: listener");
        exit(2);
    }
    *port = ntohs(a.sin_port);
    return fd;
}

// The child: a private HOME, a USER whose now-playing directory does not exist, xterm, and
// no size from the environment, so the terminal's 80x24 is what curses sees.
[[noreturn]] void exec_client(const char *client, const std::string &home, const std::string &user,
                              int port)
{
    setenv("HOME", home.c_str(), 1);
    setenv("USER", user.c_str(), 1);
    setenv("TERM", "xterm", 1);
    unsetenv("LINES");
    unsetenv("COLUMNS");
    unsetenv("ESCDELAY");
    if (client_cpu >= 0) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(client_cpu, &set);
        sched_setaffinity(0, sizeof set, &set);
    }
    std::string port_text = std::to_string(port);
    execl(client, client, "-H", "127.0.0.1", "-P", port_text.c_str(), (char *)nullptr);
    _exit(127);
}

// Starts the client; returns false when it did not connect.
bool start_client(session &s, const char *client, int64_t *forked_at)
{
    int port = 0;
    s.listener = open_listener(&port);
    char home[] = "/tmp/vesk-bench-home-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        perror("measure_client: mkdtemp");
        exit(2);
    }
    s.home = home;
    s.user = "vesk-bench-nobody-" + std::to_string(getpid());
    winsize size{screen_rows, screen_cols, 0, 0};
    *forked_at = now_ns();
    s.pid = forkpty(&s.master, nullptr, nullptr, &size);
    if (s.pid < 0) {
        perror("measure_client: forkpty");
        exit(2);
    }
    if (s.pid == 0)
        exec_client(client, s.home, s.user, port);
    s.drainer = std::thread(drain_terminal, s.master, &s.watch);
    pollfd p{s.listener, POLLIN, 0};
    if (poll(&p, 1, 5000) != 1)
        return false;
    s.peer = accept(s.listener, nullptr, nullptr);
    return s.peer >= 0 && receive_until(s.peer, "EHLO 2", 2000);
}

void stop_client(session &s)
{
    if (s.pid > 0) {
        write_key(s.master, "q");
        int status = 0;
        int64_t end = now_ns() + 2000000000LL;
        while (waitpid(s.pid, &status, WNOHANG) == 0) {
            if (now_ns() > end) {
                kill(s.pid, SIGKILL);
                waitpid(s.pid, &status, 0);
                break;
            }
            sleep_ms(5);
        }
    }
    s.watch.stop = true;
    if (s.drainer.joinable())
        s.drainer.join();
    for (int fd : {s.peer, s.listener, s.master})
        if (fd >= 0)
            close(fd);
    std::error_code ignored;
    if (!s.home.empty())
        std::filesystem::remove_all(s.home, ignored);
}

// LIST_START, `count` list lines with 40-character texts (the first one `first`), LIST_END.
std::string listing(int count, const char *first)
{
    std::string text = "LIST_START=" + std::to_string(count) + "\n";
    char line[128];
    for (int i = 0; i < count; i++) {
        char name[41];
        if (i == 0)
            snprintf(name, sizeof name, "%-40.40s", first);
        else
            snprintf(name, sizeof name, "Music/Artist %06d/Some track title.ogg", i);
        snprintf(line, sizeof line, "NAME[%d]=%d,%s\n", i + 1, i % 5 == 0 ? -1 : 1, name);
        text += line;
    }
    text += "LIST_END\n";
    return text;
}

struct proc_sample {
    double cpu_ms = NAN;
    long ticks = 0;
    long wakeups = 0;
};

proc_sample sample_process(pid_t pid)
{
    proc_sample s;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/schedstat", pid);
    if (FILE *f = fopen(path, "r")) {
        unsigned long long ns = 0;
        if (fscanf(f, "%llu", &ns) == 1)
            s.cpu_ms = (double)ns / 1e6;
        fclose(f);
    }
    snprintf(path, sizeof path, "/proc/%d/stat", pid);
    if (FILE *f = fopen(path, "r")) {
        char text[1024];
        size_t n = fread(text, 1, sizeof text - 1, f);
        text[n] = '\0';
        // The fields after the name in parentheses; utime and stime are the 14th and 15th.
        if (const char *p = strrchr(text, ')')) {
            unsigned long utime = 0, stime = 0;
            if (sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                       &stime) == 2)
                s.ticks = (long)(utime + stime);
        }
        fclose(f);
    }
    snprintf(path, sizeof path, "/proc/%d/status", pid);
    if (FILE *f = fopen(path, "r")) {
        char line[256];
        long v = 0;
        while (fgets(line, sizeof line, f))
            if (sscanf(line, "voluntary_ctxt_switches: %ld", &v) == 1 ||
                sscanf(line, "nonvoluntary_ctxt_switches: %ld", &v) == 1)
                s.wakeups += v;
        fclose(f);
    }
    return s;
}

long status_kib(pid_t pid, const char *field)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", pid);
    FILE *f = fopen(path, "r");
    if (f == nullptr)
        return -1;
    char line[256];
    long kib = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, n) == 0)
            kib = atol(line + n);
    fclose(f);
    return kib;
}

// Every value of one figure over the runs.
struct figure {
    std::string name;
    std::vector<double> values;
};

std::vector<figure> figures;
// Put in front of the names of the figures of the client being measured.
std::string figure_prefix;

void record(const char *name, const char *unit, double value)
{
    std::string full = figure_prefix + name;
    printf("  %-34s %10.3f %s\n", full.c_str(), value, unit);
    for (figure &f : figures) {
        if (f.name == full) {
            f.values.push_back(value);
            return;
        }
    }
    figures.push_back({full, {value}});
}

double median_of(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// The 16384-entry list from fork to its first row on the terminal, then what it holds.
bool measure_start_and_memory(session &s, const char *client)
{
    // Made before the start, so that the core answers at once.
    std::string text = "HELLO=bench\n" + listing(shown_list_entries, first_entry_text) + "CUR=0\n";
    watch_for(s.watch, first_entry_text);
    int64_t forked_at = 0;
    if (!start_client(s, client, &forked_at)) {
        printf("  the client did not connect\n");
        return false;
    }
    int64_t greeted_at = now_ns();
    if (!send_all(s.peer, text))
        return false;
    int64_t sent_at = now_ns();
    int64_t seen = wait_seen(s.watch, 20000);
    if (seen == 0) {
        printf("  the first entry never appeared\n");
        return false;
    }
    double cpu_ms = sample_process(s.pid).cpu_ms;
    record("start_to_rows_ms", "ms", (double)(seen - forked_at) / 1e6);
    printf("  (greeted after %.1f ms, listing taken in %.1f ms more, rows shown %.1f ms later;"
           " the client's processor time so far %.1f ms)\n",
           (double)(greeted_at - forked_at) / 1e6, (double)(sent_at - greeted_at) / 1e6,
           (double)(seen - sent_at) / 1e6, cpu_ms);
    wait_quiet(s.watch, 300, 3000);
    record("rss_mib", "MiB", (double)status_kib(s.pid, "VmRSS:") / 1024.0);
    record("hwm_mib", "MiB", (double)status_kib(s.pid, "VmHWM:") / 1024.0);
    return true;
}

// The same start with the short listing: the client's own start-up, without the listing's pace.
void run_short_start(const char *client)
{
    session s;
    std::string text = "HELLO=bench\n" + listing(short_list_entries, first_entry_text) + "CUR=0\n";
    watch_for(s.watch, first_entry_text);
    int64_t forked_at = 0;
    if (!start_client(s, client, &forked_at) || !send_all(s.peer, text)) {
        printf("  the client did not connect\n");
    } else if (int64_t seen = wait_seen(s.watch, 5000)) {
        record("start_short_list_ms", "ms", (double)(seen - forked_at) / 1e6);
        printf("  (%zu bytes of listing)\n", text.size());
    } else {
        printf("  the first entry never appeared\n");
    }
    stop_client(s);
}

void measure_quiet_window(session &s, const char *cpu_name, const char *wake_name, bool playing)
{
    // Playing starts a second before the window, which then holds only the steady reports.
    if (playing) {
        send_all(s.peer, "STATE=3\nTTIME=240\nTIME=0\n");
        sleep_ms(1000);
    }
    proc_sample before = sample_process(s.pid);
    int64_t start = now_ns();
    for (int second = 0; second < quiet_window_s; second++) {
        if (playing)
            send_all(s.peer, "TIME=" + std::to_string(second + 1) + "\n");
        sleep_until(start + (int64_t)(second + 1) * 1000000000);
    }
    proc_sample after = sample_process(s.pid);
    record(cpu_name, "ms", after.cpu_ms - before.cpu_ms);
    record(wake_name, "", (double)(after.wakeups - before.wakeups));
    printf("  (/proc stat ticks in the window: %ld)\n", after.ticks - before.ticks);
}

void measure_key_latency(session &s)
{
    discard_pending(s.peer);
    std::vector<double> latencies;
    int64_t next = now_ns();
    for (int i = 0; i < latency_keys; i++) {
        next += (int64_t)latency_key_gap_ms * 1000000;
        sleep_until(next);
        int64_t written = now_ns();
        if (!write_key(s.master, "]") || !receive_until(s.peer, "NEXT", 1000)) {
            printf("  key %d: no command on the wire\n", i);
            continue;
        }
        latencies.push_back((double)(now_ns() - written) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty())
        return;
    record("key_to_wire_ms", "ms", median_of(latencies));
    printf("  (keys %zu: min %.3f, p90 %.3f, max %.3f ms)\n", latencies.size(), latencies.front(),
           latencies[latencies.size() * 9 / 10], latencies.back());
}

void measure_down_keys(session &s)
{
    wait_quiet(s.watch, 100, 2000);
    proc_sample before = sample_process(s.pid);
    int64_t next = now_ns();
    for (int i = 0; i < down_keys; i++) {
        next += (int64_t)down_key_gap_ms * 1000000;
        sleep_until(next);
        write_key(s.master, "\x1bOB");
    }
    wait_quiet(s.watch, 200, 3000);
    proc_sample after = sample_process(s.pid);
    record("cpu_per_down_us", "us", (after.cpu_ms - before.cpu_ms) * 1000.0 / down_keys);
}

void run_interactive(const char *client, bool long_figures)
{
    session s;
    if (measure_start_and_memory(s, client)) {
        if (long_figures)
            measure_quiet_window(s, "idle_cpu_ms", "idle_wakeups", false);
        measure_key_latency(s);
        measure_down_keys(s);
        if (long_figures)
            measure_quiet_window(s, "playing_cpu_ms", "playing_wakeups", true);
    }
    stop_client(s);
}

// A list of `entries` sent at once to a client that has started and gone quiet: the time from
// the first byte sent to the message the client shows at LIST_END, and the client's processor
// time in between.
void run_list_load(const char *client, int entries)
{
    session s;
    int64_t forked_at = 0;
    if (!start_client(s, client, &forked_at)) {
        printf("  the client did not connect\n");
        stop_client(s);
        return;
    }
    send_all(s.peer, "HELLO=bench\n");
    wait_quiet(s.watch, 300, 3000);
    std::string text = listing(entries, first_entry_text);
    watch_for(s.watch, loaded_message);
    proc_sample before = sample_process(s.pid);
    int64_t sent_at = now_ns();
    send_all(s.peer, text);
    int64_t seen = wait_seen(s.watch, 60000);
    proc_sample after = sample_process(s.pid);
    if (seen == 0) {
        printf("  \"%s\" never appeared\n", loaded_message);
    } else {
        double took_ms = (double)(seen - sent_at) / 1e6;
        std::string name = "list_" + std::to_string(entries);
        record((name + "_ms").c_str(), "ms", took_ms);
        record((name + "_mb_per_s").c_str(), "MB/s", (double)text.size() / 1e3 / took_ms);
        record((name + "_cpu_us_per_entry").c_str(), "us",
               (after.cpu_ms - before.cpu_ms) * 1000.0 / entries);
        printf("  (%zu bytes, %.1f bytes a line; %ld wake-ups)\n", text.size(),
               (double)text.size() / (entries + 1), after.wakeups - before.wakeups);
    }
    stop_client(s);
}

// The last processor this program may run on, or -1.
int last_allowed_cpu()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return -1;
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; cpu--)
        if (CPU_ISSET(cpu, &set))
            return cpu;
    return -1;
}

bool pin_to(int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

// Every measure of one run of one client.
void run_one(const char *client, bool long_figures)
{
    printf("session with %d entries\n", shown_list_entries);
    run_interactive(client, long_figures);
    printf("start with %d entries\n", short_list_entries);
    run_short_start(client);
    for (int entries : loaded_list_entries) {
        printf("load of %d entries\n", entries);
        run_list_load(client, entries);
    }
}

void print_figures()
{
    printf("\n");
    for (const figure &f : figures) {
        std::vector<double> v = f.values;
        double lo = *std::min_element(v.begin(), v.end());
        double hi = *std::max_element(v.begin(), v.end());
        printf("figure %s %.4f %.4f %.4f %zu\n", f.name.c_str(), median_of(v), lo, hi, v.size());
    }
}

} // namespace

int main(int argc, char **argv)
{
    const char *client = VESK_CLIENT_PATH;
    const char *before = nullptr;
    int runs = 5;
    int long_runs = 3;
    int own_cpu = last_allowed_cpu();
    int other_cpu = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--client") == 0)
            client = argv[i + 1];
        else if (strcmp(argv[i], "--before") == 0)
            before = argv[i + 1];
        else if (strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, atoi(argv[i + 1]));
        else if (strcmp(argv[i], "--long-runs") == 0)
            long_runs = std::max(0, atoi(argv[i + 1]));
        else if (strcmp(argv[i], "--cpu") == 0)
            own_cpu = strcmp(argv[i + 1], "free") == 0 ? -1 : atoi(argv[i + 1]);
        else if (strcmp(argv[i], "--client-cpu") == 0)
            other_cpu = atoi(argv[i + 1]);
    }
    for (const char *path : {client, before}) {
        if (path != nullptr && access(path, X_OK) != 0) {
            fprintf(stderr, "measure_client: no client at %s\n", path);
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // A reader that goes away early must not stop this program before it has ended the client
    // and removed its home.
    signal(SIGPIPE, SIG_IGN);
    // Pinned before any thread starts, so that the terminal reader stays there too.
    if (own_cpu >= 0 && !pin_to(own_cpu)) {
        fprintf(stderr, "measure_client: cannot run on processor %d\n", own_cpu);
        return 2;
    }
    client_cpu = other_cpu >= 0 ? other_cpu : own_cpu;
    printf("placement: this program on %s, the client on %s\n",
           own_cpu >= 0 ? std::to_string(own_cpu).c_str() : "any processor",
           client_cpu >= 0 ? std::to_string(client_cpu).c_str() : "any processor");
    for (int run = 0; run < runs; run++) {
        // Which client goes first alternates, so that neither always meets the other's leftovers.
        const char *order[2] = {client, before};
        if (before != nullptr && run % 2 == 1)
            std::swap(order[0], order[1]);
        for (const char *measured : order) {
            if (measured == nullptr)
                continue;
            figure_prefix = measured == before ? "before_" : "";
            printf("run %d: %s\n", run + 1, measured);
            run_one(measured, run < long_runs);
        }
    }
    print_figures();
    return 0;
}
