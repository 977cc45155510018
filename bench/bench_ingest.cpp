// Ingest of a full list through the socket read and the framing, against a floor that only reads
// and splits the same bytes and makes the same allocations; and the memory a full list adds.
//
//   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVESK_BENCH=ON
//   cmake --build build-bench --target bench_ingest && build-bench/bench/bench_ingest

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include "conf.h"
#include "link/conn.h"
#include "list/entry_list.h"

namespace {

constexpr int list_lines = list_capacity;
constexpr int text_length = 40;

// LIST_START, one list line per entry with a 40-character text, LIST_END.
const std::string &wire_text()
{
    static std::string text;
    if (!text.empty())
        return text;
    char line[128];
    snprintf(line, sizeof line, "LIST_START=%d\n", list_lines);
    text = line;
    for (int i = 0; i < list_lines; i++) {
        char name[text_length + 1];
        snprintf(name, sizeof name, "Music/Artist %06d/Some track title.ogg", i);
        snprintf(line, sizeof line, "NAM00%d]=%d,%-40.40s\n", i, i % 5 == 0 ? -1 : 1, name);
        text += line;
    }
    text += "LIST_END\n";
    return text;
}

struct socket_pair {
    int reader = -1;
    int writer = -1;
};

socket_pair open_pair()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        abort();
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    // A large buffer (as far as the system allows) means few pauses of the timing for writing.
    int size = 4 << 20;
    setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    return {ends[0], ends[1]};
}

// Writes as much of the text as the socket takes, lets handle_data read it all in its own reads,
// and goes on until everything has been read. The writing stands for the core, another
// process: with a state, it is left out of the timing.
void deliver(const socket_pair &pair, const std::string &text, benchmark::State *state = nullptr)
{
    for (size_t at = 0; at < text.size();) {
        if (state != nullptr)
            state->PauseTiming();
        ssize_t sent = send(pair.writer, text.data() + at, text.size() - at, MSG_DONTWAIT);
        if (state != nullptr)
            state->ResumeTiming();
        if (sent < 0 && errno != EAGAIN)
            abort();
        at += sent > 0 ? (size_t)sent : 0;
        while (handle_data(pair.reader) == 1) {
        }
    }
}

long status_kib(const char *field)
{
    FILE *f = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    size_t n = strlen(field);
    while (f != nullptr && fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, field, n) == 0)
            kib = atol(line + n);
    if (f != nullptr)
        fclose(f);
    return kib;
}

// Gives the pages of an empty list back, so that the measure does not depend on what ran before.
void release_empty_list()
{
    free_list();
    malloc_trim(0);
    long page = sysconf(_SC_PAGESIZE);
    uintptr_t from = ((uintptr_t)conf.list.index + page - 1) & ~(uintptr_t)(page - 1);
    uintptr_t to = ((uintptr_t)(conf.list.index + list_capacity)) & ~(uintptr_t)(page - 1);
    madvise((void *)from, to - from, MADV_DONTNEED);
}

void BM_memory_of_full_list(benchmark::State &state)
{
    const std::string &text = wire_text();
    socket_pair pair = open_pair();
    for (auto _ : state) {
        release_empty_list();
        long before = status_kib("VmRSS:");
        deliver(pair, text);
        // Nothing is freed while a list loads: the resident size now is its peak.
        long after = status_kib("VmRSS:");
        if (conf.list.dmt != list_lines)
            state.SkipWithError("list incomplete");
        state.counters["MiB_added"] = (double)(after - before) / 1024.0;
        state.counters["bytes_per_entry"] = (double)(after - before) * 1024.0 / list_lines;
    }
    close(pair.reader);
    close(pair.writer);
}
BENCHMARK(BM_memory_of_full_list)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ingest_through_handle_data(benchmark::State &state)
{
    const std::string &text = wire_text();
    socket_pair pair = open_pair();
    for (auto _ : state) {
        deliver(pair, text, &state);
        if (conf.list.dmt != list_lines)
            state.SkipWithError("list incomplete");
    }
    state.counters["per_line"] = benchmark::Counter(
        list_lines, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    free_list();
    close(pair.reader);
    close(pair.writer);
}
BENCHMARK(BM_ingest_through_handle_data)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(3);

struct floor_entry {
    floor_entry *next;
    char *text;
};

struct floor_reader {
    char buf[rx_fill_limit + 1];
    size_t held = 0;
    floor_entry *head = nullptr;
};

// Keeps the text after the comma of every whole line in the buffer; the rest waits for more.
void floor_take_lines(floor_reader &r)
{
    const char *at = r.buf;
    const char *end = r.buf + r.held;
    while (const char *newline = (const char *)memchr(at, '\n', (size_t)(end - at))) {
        const char *comma = (const char *)memchr(at, ',', (size_t)(newline - at));
        if (comma != nullptr) {
            size_t length = (size_t)(newline - comma - 1);
            floor_entry *e = (floor_entry *)calloc(1, sizeof(list_entry));
            e->text = (char *)malloc(length + 1);
            memcpy(e->text, comma + 1, length);
            e->text[length] = '\0';
            e->next = r.head;
            r.head = e;
        }
        at = newline + 1;
    }
    r.held = (size_t)(end - at);
    memmove(r.buf, at, r.held);
}

// The least any ingest does: read the same bytes from the socket in reads of the same size, find
// each "\n", allocate a record of the entry's size and a copy of its text, keep them, and free
// them all before the next list.
void BM_floor_read_split_and_allocate(benchmark::State &state)
{
    const std::string &text = wire_text();
    socket_pair pair = open_pair();
    floor_reader r;
    for (auto _ : state) {
        for (size_t at = 0; at < text.size();) {
            state.PauseTiming();
            ssize_t sent = send(pair.writer, text.data() + at, text.size() - at, MSG_DONTWAIT);
            state.ResumeTiming();
            if (sent < 0 && errno != EAGAIN)
                abort();
            at += sent > 0 ? (size_t)sent : 0;
            ssize_t got;
            while ((got = recv(pair.reader, r.buf + r.held, rx_fill_limit - r.held, 0)) > 0) {
                r.held += (size_t)got;
                floor_take_lines(r);
            }
        }
        benchmark::DoNotOptimize(r.head);
        while (r.head != nullptr) {
            floor_entry *next = r.head->next;
            free(r.head->text);
            free(r.head);
            r.head = next;
        }
    }
    state.counters["per_line"] = benchmark::Counter(
        list_lines, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    close(pair.reader);
    close(pair.writer);
}
BENCHMARK(BM_floor_read_split_and_allocate)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(3);

// Shows the results as usual and keeps, per benchmark and counter, the lowest figure of its
// repetitions: the machine is shared, and the least disturbed run is the one to compare.
class summary_reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::string, double>> figures;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            std::string family = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
            for (const auto &[name, counter] : run.counters) {
                auto known = figures[family].find(name);
                if (known == figures[family].end() || counter.value < known->second)
                    figures[family][name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// The figures against the targets; per_line counters are processor time per line.
void print_summary(summary_reporter &reporter)
{
    auto figure = [&](const char *bench, const char *name) {
        auto counters = reporter.figures.find(bench);
        if (counters == reporter.figures.end() || counters->second.count(name) == 0)
            return -1.0;
        return counters->second.at(name);
    };
    double ingest = figure("BM_ingest_through_handle_data", "per_line") * 1e9;
    double floor = figure("BM_floor_read_split_and_allocate", "per_line") * 1e9;
    double mib = figure("BM_memory_of_full_list", "MiB_added");
    double per_entry = figure("BM_memory_of_full_list", "bytes_per_entry");
    printf("\n");
    if (ingest > 0)
        printf("ingest: %.1f ns/line (target < 250)\n", ingest);
    if (ingest > 0 && floor > 0)
        printf("floor:  %.1f ns/line; ingest / floor = %.2f (target <= 2)\n", floor,
               ingest / floor);
    if (mib >= 0)
        printf("memory: %.1f MiB added for %d entries, %.0f bytes/entry (target <= 40 MiB)\n", mib,
               list_lines, per_entry);
}

} // namespace

int main(int argc, char **argv)
{
    conf.link.sock = -1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    summary_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(reporter);
    benchmark::Shutdown();
    return 0;
}
