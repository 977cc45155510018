// Small text helpers over caller buffers that always terminate.
#pragma once

#include <cstddef>

// Copies at most n characters of src to dst and always terminates; dst needs n + 1 bytes.
void zt_strncpy(char *dst, const char *src, size_t n);
