#pragma once

#include <cstddef>

// Defaults, configuration file, command line; may print the usage text and exit with 0.
int load_conf_rcn();
// Rewrites the configuration file from the current settings and bindings; false when it could
// not be saved, with the error number of the failing call in conf.save_error, and when it is
// left alone because it was there but could not be read whole at start (conf.conf_read_error).
// Prints nothing: the caller tells the user once the terminal is its own again.
bool save_conf();
// Prints that the configuration was not saved, and why.
void print_save_failure();
// Prints the usage text with the bound keys.
void print_usage(const char *program, const char *conf_path);

// HOME, or the password database's home directory when HOME is unset or empty; nullptr if none.
const char *home_directory();
// Formats the configuration path under home; false (and an empty path) when it does not fit.
bool make_conf_path(char *path, size_t size, const char *home);
// Cuts one line as read from the file (at most 4222 characters, with or without its newline)
// into key and value, in place; false for comments, lines without "=" and keys over 30
// characters. A carriage return before the newline stays in the value.
bool split_conf_line(char *line, const char **key, const char **value);
