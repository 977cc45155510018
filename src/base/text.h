// Small text helpers over caller buffers that always terminate.
#pragma once

#include <cstddef>

// Copies at most n characters of src to dst and always terminates; dst needs n + 1 bytes.
void zt_strncpy(char *dst, const char *src, size_t n);

// What a copy of a text took: bytes (whole characters only) and the screen columns they fill.
struct text_fit {
    size_t bytes;
    int columns;
};
// Copies the printable form of text (nullptr: the empty text) into out, as many whole characters
// as fit in size - 1 bytes and in columns columns, and terminates it. In a UTF-8 locale a
// printable character keeps its bytes and its width (wide ones two columns, combining marks none,
// kept with the character before); everything else, and every byte in other locales, shows as
// printable_char does, one "?" per byte, one column each. So no text from the core can reach the
// terminal as a control sequence or take more columns than counted.
text_fit printable_fit(char *out, size_t size, const char *text, int columns);
// printable_fit without a column limit; returns out. For texts from the core.
const char *printable_name(char *out, size_t size, const char *text);
// The columns the printable form of text takes.
int text_columns(const char *text);
// The shortest start of a printable text that takes at least columns columns, with the
// combining marks that follow it: what is left out to show the text's tail.
text_fit text_head(const char *text, int columns);
