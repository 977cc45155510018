// Small text helpers over caller buffers that always terminate.
#pragma once

#include <cstddef>

// Copies at most n bytes of src to dst and always terminates; dst needs n + 1 bytes. In a UTF-8
// locale a character that the cut would split is left out whole.
void zt_strncpy(char *dst, const char *src, size_t n);
// Appends text to the terminated text of n bytes in buf (size bytes), as much as fits, and
// terminates it; n becomes the new length. Async-signal-safe, for the crash handler too.
void append_text(char *buf, int size, int &n, const char *text);

// True when the locale's character set is UTF-8: texts are then read as characters.
bool utf8_locale();
// True for a byte that continues a UTF-8 character rather than beginning one.
bool is_utf8_continuation(unsigned char c);
// The bytes of a UTF-8 character that begins with the byte lead: 2 to 4 for a lead byte, else 1.
int utf8_sequence_length(unsigned char lead);
// The length of the longest start of text within limit bytes that splits no character (in a
// UTF-8 locale; elsewhere every byte is a character).
size_t whole_chars_within(const char *text, size_t limit);
// Where the last character of the terminated text of length bytes begins: a valid UTF-8
// character is one in a UTF-8 locale, every other byte one by itself.
size_t last_char_start(const char *text, size_t length);

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
