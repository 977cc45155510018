#pragma once

// Defaults, configuration file, command line; may print the usage text and exit with 0.
int load_conf_rcn();
// Rewrites the configuration file from the current settings and bindings.
void save_conf();
// Prints the usage text with the bound keys.
void print_usage(const char *program, const char *conf_path);
