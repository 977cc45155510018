#include "base/text.h"

#include <cstring>

#include "base/log.h"

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
