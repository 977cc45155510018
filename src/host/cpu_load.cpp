#include "host/cpu_load.h"

#include <cinttypes>
#include <cstdio>

#include "base/log.h"
#include "conf.h"

static bool read_cpu_sample(cpu_sample *sample)
{
    FILE *f = fopen("/proc/stat", "r");
    if (f == nullptr)
        return false;
    char label[64];
    uint64_t *t = sample->ticks;
    // The kernel's counters outgrow 32 bits on long-running machines: read them as 64-bit.
    int got = fscanf(f, "%63s %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64
                        " %" SCNu64,
                     label, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5], &t[6]);
    fclose(f);
    return got == 8;
}

int cpu_load_between(const cpu_sample &prev, const cpu_sample &cur, int old_load)
{
    uint64_t idle = cur.ticks[3] - prev.ticks[3];
    uint64_t total = 0;
    for (int i = 0; i < 7; i++)
        total += cur.ticks[i] - prev.ticks[i];
    if (total == 0) {
        dlog(8, "%" PRIu64 " %" PRIu64 " %d", idle, total, old_load);
        return old_load;
    }
    return (int)(100 - idle * 100 / total);
}

void read_cpu_load()
{
    cpu_state &cpu = conf.cpu;
    if (!read_cpu_sample(&cpu.cur))
        return;
    cpu.cpu_load = cpu_load_between(cpu.prev, cpu.cur, cpu.cpu_load);
    cpu.prev = cpu.cur;
}
