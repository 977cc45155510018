// Small text helpers over caller buffers that always terminate.
#pragma once

#include <cstddef>

// Copies at most n characters of src to dst and always terminates; dst needs n + 1 bytes.
void zt_strncpy(char *dst, const char *src, size_t n);
// Copies text (nullptr: the empty text) into out, each byte as printable_char shows it, cut at
// size - 1 bytes; returns out. For texts from the core, drawn one byte per column.
const char *printable_name(char *out, size_t size, const char *text);
