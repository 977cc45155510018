#pragma once

#include <cstddef>

// Copies at most n characters of src to dst and always terminates; dst needs n + 1 bytes.
void zt_strncpy(char *dst, const char *src, size_t n);
struct cpu_sample;
// Load in percent between two samples; old_load when no tick passed between them.
int cpu_load_between(const cpu_sample &prev, const cpu_sample &cur, int old_load);
// Takes one sample of /proc/stat and updates conf.cpu.cpu_load.
void read_cpu_load();
// The directory under which the log and the now-playing directory live.
const char *tmp_dir();
