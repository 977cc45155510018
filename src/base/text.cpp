#include "base/text.h"

#include <cstring>

#include "base/log.h"
#include "base/protocol.h"

void zt_strncpy(char *dst, const char *src, size_t n)
{
    if (dst == nullptr) {
        dlog(8, "zt_strncpy: dst==NULL, fix me! (l:%d, src:[%s])", (int)n, src ? src : "");
        return;
    }
    size_t k = strnlen(src, n);
    memcpy(dst, src, k);
    dst[k] = '\0';
}

const char *printable_name(char *out, size_t size, const char *text)
{
    if (size == 0)
        return out;
    size_t n = 0;
    for (; text != nullptr && n + 1 < size && text[n] != '\0'; n++)
        out[n] = printable_char(text[n]);
    out[n] = '\0';
    return out;
}
