#include "sim_outbox.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sim_library.h"

namespace {

// Appends text to a buffer when all of it fits; false otherwise.
bool append(char *buf, size_t &len, size_t cap, const char *text, size_t n)
{
    if (n > cap - len)
        return false;
    memcpy(buf + len, text, n);
    len += n;
    return true;
}

// The list line of entry i of the list, in a path mode; entries count from 1 on the wire.
void list_line(const sim_list &list, int i, int mode, char *buf, size_t cap)
{
    int ref = list.refs[i];
    char text[sim_line_cap - 64];
    sim_lib_text(ref, mode, text, sizeof text);
    snprintf(buf, cap, "NAME[%d]=%d,%s\n", i + 1, sim_lib_clip(ref).type, text);
}

// Lines already queued behind a listing keep their place behind it.
bool must_hold(const sim_client &client)
{
    return client.stream.active || client.hold_len > 0;
}

void put_line(sim_client &client, const char *line, size_t n)
{
    bool fits = must_hold(client) ? append(client.hold, client.hold_len, sim_hold_cap, line, n)
                                  : append(client.out, client.out_len, sim_out_cap, line, n);
    if (!fits)
        client.overflow = true;
}

// The next line of the listing; LIST_END ends it.
void next_stream_line(const sim_core &core, sim_client &client, char *line, size_t cap)
{
    sim_stream &stream = client.stream;
    if (stream.start_pending) {
        stream.start_pending = false;
        snprintf(line, cap, "LIST_START=%d\n", core.list.count);
    } else if (stream.next < core.list.count) {
        list_line(core.list, stream.next++, client.path_mode, line, cap);
    } else {
        stream.active = false;
        snprintf(line, cap, "LIST_END\n");
    }
}

} // namespace

void sim_emit(sim_client &client, const char *format, ...)
{
    char line[sim_line_cap];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0)
        return;
    size_t len = strlen(line);
    for (size_t i = 0; i < len; i++)
        if (line[i] == '\n' || line[i] == '\r')
            line[i] = '?';
    line[len++] = '\n';
    put_line(client, line, len);
}

void sim_begin_list(sim_client &client)
{
    client.stream.active = true;
    client.stream.start_pending = true;
    client.stream.next = 0;
}

void sim_fill(const sim_core &core, sim_client &client)
{
    char line[sim_line_cap];
    while (client.stream.active && sim_out_cap - client.out_len >= sim_line_cap) {
        next_stream_line(core, client, line, sizeof line);
        append(client.out, client.out_len, sim_out_cap, line, strlen(line));
    }
    if (!client.stream.active && client.hold_len > 0 &&
        append(client.out, client.out_len, sim_out_cap, client.hold, client.hold_len))
        client.hold_len = 0;
}

bool sim_has_output(const sim_client &client)
{
    return client.out_len > 0 || client.stream.active || client.hold_len > 0;
}

void sim_consume(sim_client &client, size_t n)
{
    if (n >= client.out_len) {
        client.out_len = 0;
        return;
    }
    memmove(client.out, client.out + n, client.out_len - n);
    client.out_len -= n;
}
