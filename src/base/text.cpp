#include "base/text.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <langinfo.h>

#include "base/log.h"
#include "base/protocol.h"

void zt_strncpy(char *dst, const char *src, size_t n)
{
    if (dst == nullptr) {
        dlog(8, "zt_strncpy: dst==NULL, fix me! (l:%d, src:[%s])", (int)n, src ? src : "");
        return;
    }
    size_t k = whole_chars_within(src, n);
    memcpy(dst, src, k);
    dst[k] = '\0';
}

void append_text(char *buf, int size, int &n, const char *text)
{
    while (*text != '\0' && n < size - 1)
        buf[n++] = *text++;
    buf[n] = '\0';
}

namespace {

// One step through a text: a printable character kept whole, or one byte shown as "?".
struct text_char {
    size_t bytes;
    int columns;
    bool kept;
};

struct char_range {
    wchar_t first;
    wchar_t last;
};

// Marks that make a terminal which lays out text in both directions reorder what follows, so
// that a name could show as another; printable to the library, they count as controls here.
constexpr char_range bidi_controls[] = {
    {0x061c, 0x061c}, {0x200e, 0x200f}, {0x202a, 0x202e}, {0x2066, 0x2069},
};

bool is_bidi_control(wchar_t wc)
{
    for (const char_range &range : bidi_controls)
        if (range.first <= wc && wc <= range.last)
            return true;
    return false;
}

// The bytes of the valid UTF-8 character at p and the character; 0 when none begins there.
size_t decode_char(const char *p, wchar_t &wc)
{
    mbstate_t state{};
    size_t length = mbrtowc(&wc, p, strnlen(p, MB_LEN_MAX), &state);
    return length == (size_t)-1 || length == (size_t)-2 ? 0 : length;
}

// The start of the valid character that holds the byte before end and reaches at least beyond
// bytes past end; nullptr when that byte belongs to no valid character of more than one byte.
const char *char_reaching(const char *text, size_t end, size_t beyond)
{
    constexpr size_t longest_char = 4;
    for (size_t back = 1; back <= longest_char && back <= end; back++) {
        unsigned char c = (unsigned char)text[end - back];
        if (!is_utf8_continuation(c)) {
            wchar_t wc = 0;
            size_t bytes = c >= 0xc0 ? decode_char(text + end - back, wc) : 0;
            return bytes >= back + beyond ? text + end - back : nullptr;
        }
    }
    return nullptr;
}

// The character at p. A combining mark with nothing before it (first) would join whatever the
// screen holds left of the text, so it counts as not printable.
text_char char_at(const char *p, bool utf8, bool first)
{
    constexpr text_char replaced{1, 1, false};
    if (!utf8 || (unsigned char)*p < 0x80)
        return printable_char(*p) == *p ? text_char{1, 1, true} : replaced;
    wchar_t wc = 0;
    size_t length = decode_char(p, wc);
    if (length == 0 || !iswprint((wint_t)wc) || is_bidi_control(wc))
        return replaced;
    int width = wcwidth(wc);
    if (width < 0 || (width == 0 && first))
        return replaced;
    return {length, width, true};
}

} // namespace

bool utf8_locale()
{
    return strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

bool is_utf8_continuation(unsigned char c)
{
    return (c & 0xc0) == 0x80;
}

int utf8_sequence_length(unsigned char lead)
{
    if (lead >= 0xc2 && lead <= 0xdf)
        return 2;
    if (lead >= 0xe0 && lead <= 0xef)
        return 3;
    if (lead >= 0xf0 && lead <= 0xf4)
        return 4;
    return 1;
}

size_t whole_chars_within(const char *text, size_t limit)
{
    size_t length = strnlen(text, limit);
    if (length < limit || text[limit] == '\0' || !utf8_locale())
        return length;
    // A character that begins before the cut and ends after it goes whole.
    const char *split = char_reaching(text, limit, 1);
    return split != nullptr ? (size_t)(split - text) : limit;
}

size_t last_char_start(const char *text, size_t length)
{
    if (length == 0)
        return 0;
    // The text ends at length: a character found there ends exactly with it.
    const char *last = utf8_locale() ? char_reaching(text, length, 0) : nullptr;
    return last != nullptr ? (size_t)(last - text) : length - 1;
}

text_fit printable_fit(char *out, size_t size, const char *text, int columns)
{
    text_fit fit{0, 0};
    if (size == 0)
        return fit;
    bool utf8 = utf8_locale();
    while (text != nullptr && text[fit.bytes] != '\0') {
        const char *p = text + fit.bytes;
        text_char c = char_at(p, utf8, fit.bytes == 0);
        if (fit.bytes + c.bytes >= size || fit.columns + c.columns > columns)
            break;
        if (c.kept)
            memcpy(out + fit.bytes, p, c.bytes);
        else
            out[fit.bytes] = '?';
        fit.bytes += c.bytes;
        fit.columns += c.columns;
    }
    out[fit.bytes] = '\0';
    return fit;
}

const char *printable_name(char *out, size_t size, const char *text)
{
    printable_fit(out, size, text, INT_MAX);
    return out;
}

int text_columns(const char *text)
{
    return text_head(text, INT_MAX).columns;
}

text_fit text_head(const char *text, int columns)
{
    text_fit head{0, 0};
    bool utf8 = utf8_locale();
    while (text[head.bytes] != '\0') {
        text_char c = char_at(text + head.bytes, utf8, head.bytes == 0);
        if (head.columns >= columns && c.columns > 0)
            break;
        head.bytes += c.bytes;
        head.columns += c.columns;
    }
    return head;
}
