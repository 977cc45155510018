#include "link/messages.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include "base/log.h"
#include "base/protocol.h"
#include "base/text.h"
#include "conf.h"
#include "link/conn.h"
#include "list/entry_list.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"

namespace {

// "NAM", two more characters, then the number: a shorter key holds none.
int list_line_number(const char *key)
{
    return strnlen(key, 5) == 5 ? read_decimal(key + 5) : 0;
}

constexpr size_t field_cut = 511;
constexpr int message_limit = 255;

template <size_t size>
void store_text(char (&field)[size], const char *value)
{
    zt_strncpy(field, value, size - 1);
}

void handle_list_line(const char *key, const char *value)
{
    if (strchr(key, ']') == nullptr)
        return;
    const char *comma = strchr(value, ',');
    if (comma == nullptr)
        return;
    add_entry(read_decimal(value), comma + 1);
    conf.player.list_last = list_line_number(key);
}

// Only the leading integer matters; the eleven band values after it are not used.
void handle_eq(const char *value)
{
    bool found = false;
    int eq = read_decimal(value, &found);
    if (found)
        conf.player.eq = eq;
}

void handle_conf(const char *value)
{
    const char *blank = strchr(value, ' ');
    if (blank == nullptr)
        return;
    size_t name_length = (size_t)(blank - value);
    int number = read_decimal(blank + 1);
    if (name_length == 2 && strncmp(value, "EQ", 2) == 0)
        conf.player.eq = number;
    else if (name_length == 7 && strncmp(value, "EFFECTS", 7) == 0)
        conf.player.effects = number;
    else
        return;
    draw_effects();
}

void handle_list_start(const char *value)
{
    conf.player.list_t0 = time(nullptr);
    int count = read_decimal(value);
    char text[message_limit + 1];
    snprintf(text, message_limit, "New list: %d entries", count < 0 ? 0 : count);
    set_message(text);
    init_list();
}

void handle_list_end(const char *)
{
    int seconds = (int)(time(nullptr) - conf.player.list_t0);
    char text[message_limit + 1];
    snprintf(text, message_limit, "Loaded %d in %ds", conf.player.list_last, seconds);
    set_message(text);
    // A list longer than the index shows only its first entries; say how many came.
    const entry_list &list = conf.list;
    if (list.refused > 0) {
        int kept = list.dmt + list.fmt;
        snprintf(text, message_limit, "Loaded %d in %ds, list cut at %d of %d entries",
                 conf.player.list_last, seconds, kept, kept + list.refused);
        show_message(text);
    }
    dlog(2, "parse_line: LIST_END, dmt:%d fmt:%d", conf.list.dmt, conf.list.fmt);
    finalize_list();
    scrollto(conf.list.cur, 1);
}

// Texts from the core go to the message line one byte per column: no byte of theirs may move the
// cursor or reach the terminal as a control sequence.
void show_core_text(const char *value)
{
    char shown[sizeof conf.message];
    set_message(printable_name(shown, sizeof shown, value));
}

void handle_corequit(const char *value)
{
    show_core_text(value);
    disconnect();
}

using message_handler = void (*)(const char *value);

struct message_key {
    const char *key;
    message_handler handle;
};

constexpr message_key message_keys[] = {
    {"TIME", [](const char *v) { conf.player.s_cur = (float)read_decimal(v); show_time(); }},
    {"TTIME", [](const char *v) { conf.player.s_dur = (float)read_decimal(v); draw_total_time(); }},
    {"STATE", [](const char *v) { conf.player.state = read_decimal(v); draw_state(); }},
    {"D", show_core_text},
    {"CURNAME", show_core_text},
    {"CUR", [](const char *v) { conf.list.cur = read_decimal(v); scrollto(conf.list.cur, 1); }},
    {"LISTNAME", [](const char *v) { set_list_title(v); }},
    {"SHUFFLE", [](const char *v) { conf.player.shuffle = read_decimal(v); draw_shuffle(); }},
    {"REPEAT", [](const char *v) { conf.player.repeat = read_decimal(v); draw_repeat(); }},
    {"VIDS", [](const char *) {}},
    {"SCROB", [](const char *v) { conf.player.scrob = read_decimal(v); }},
    {"VOL", [](const char *v) { conf.player.vol = read_decimal(v); draw_volume(); }},
    {"FREQ", [](const char *v) { conf.player.freq = read_decimal(v); draw_format(); }},
    {"BITRATE", [](const char *v) { conf.player.bitrate = read_decimal(v); draw_format(); }},
    {"CHAN", [](const char *v) { conf.player.chan = read_decimal(v); draw_format(); }},
    {"EQ", handle_eq},
    {"CONF", handle_conf},
    {"TITLE", [](const char *v) { store_text(conf.player.title, v); }},
    {"ARTIST", [](const char *v) { store_text(conf.player.artist, v); }},
    {"ALBUM", [](const char *v) { store_text(conf.player.album, v); }},
    {"GENRE", [](const char *v) { store_text(conf.player.genre, v); }},
    {"YEAR", [](const char *v) { store_text(conf.player.year, v); }},
    {"COMMENT", [](const char *v) { store_text(conf.player.comment, v); }},
    {"INFO_START", [](const char *) {}},
    {"INFO_END", [](const char *) {}},
    {"LIST_START", handle_list_start},
    {"LIST_END", handle_list_end},
    {"HELLO", [](const char *v) { store_text(conf.player.core_version, v); }},
    {"COREQUIT", handle_corequit},
};
static_assert(std::size(message_keys) == 29);

// Cuts a text of `bytes` bytes to field_cut bytes, never inside a character (bytes never
// undercounts its length).
void cut_field(char *text, size_t bytes)
{
    if (bytes > field_cut)
        text[whole_chars_within(text, field_cut)] = '\0';
}

bool is_list_key(const char *key)
{
    return strncmp(key, "NAM", 3) == 0;
}

void dispatch(const char *key, const char *value, int length)
{
    if (is_list_key(key)) {
        handle_list_line(key, value);
        return;
    }
    for (const message_key &m : message_keys) {
        if (strcmp(key, m.key) == 0) {
            m.handle(value);
            return;
        }
    }
    dlog(2, "[unhandled msg: l:%d [%s],[%s]", length, key, value);
}

} // namespace

void parse_line(char *line, int length)
{
    if (line == nullptr)
        return;
    // Per-line traces are formatted only at the levels that write them.
    bool traced = conf.debug > 8;
    if (traced && !is_list_key(line))
        dlog(2, "parse_line: (%d)[%s]", length, line);
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n'))
        line[--length] = '\0';
    if (length <= 0)
        return;

    char *key = line;
    size_t key_bytes = (size_t)length;
    char *value = line + length;
    char *equals = strchr(line, '=');
    if (equals != nullptr && equals != line) {
        *equals = '\0';
        key_bytes = (size_t)(equals - line);
        value = equals + 1;
    }
    if (traced)
        dlog(2, "a1:[%s], a2:[%s] (%d)", key, value, (unsigned char)line[length - 1]);
    cut_field(key, key_bytes);
    cut_field(value, (size_t)(line + length - value));
    dispatch(key, value, length);
}
