// The processor load of this machine, read from /proc/stat; the clock shows it.
#pragma once

struct cpu_sample;
// Load in percent between two samples; old_load when no tick passed between them.
int cpu_load_between(const cpu_sample &prev, const cpu_sample &cur, int old_load);
// Takes one sample of /proc/stat and updates conf.cpu.cpu_load.
void read_cpu_load();
