// The debug log and where the client keeps its files: the leaf every other part may use. It
// includes nothing of the client but the global record.
#pragma once

// Opens the debug log when debug > 0 and writes its first line.
void dlog_init();
// Writes one log line of the given level when it is within the debug level.
void dlog(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Path of the debug log file (under tmp_dir()).
const char *dlog_path();
// The directory under which the log and the now-playing directory live: conf.tmp_dir, "/tmp"
// when that is empty.
const char *tmp_dir();
