#pragma once

// Opens the debug log when debug > 0 and writes its first line.
void dlog_init();
// Writes one log line of the given level when it is within the debug level.
void dlog(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Path of the debug log file (under conf.tmp_dir, "/tmp" by default).
const char *dlog_path();
