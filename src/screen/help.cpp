#include "screen/help.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "config/actions.h"
#include "screen/listview.h"
#include "screen/paint.h"
#include "screen/style.h"

namespace {

constexpr int text_column = 2;
constexpr int help_text_capacity = 1024;
constexpr int info_text_capacity = 1024;
constexpr size_t ruler_length = 144;
constexpr int first_key_row = 3;
constexpr int max_row_keys = 20;

// A help row of bound keys: every "%s" of the format takes the key of the next action.
struct help_key_row {
    const char *format;
    action::id actions[max_row_keys];   // action::none after the last
};

constexpr help_key_row help_key_rows[] = {
    {"quit:%s  enter/play:%s  stop:%s  pause:%s  prev:%s  next:%s  rwnd:%s  ffwd:%s",
     {action::quit, action::enter, action::stop, action::pause, action::prev, action::next,
      action::rewind, action::fast_forward}},
    {"go-parent:%s  up:%s  down:%s  pgup:%s  pgdn:%s  home:%s  end:%s",
     {action::go_parent, action::go_up, action::go_down, action::page_up, action::page_down,
      action::go_top, action::go_bottom}},
    {"vol-:%s  vol+:%s repeat:%s  shuffle:%s  vids:%s  pathtype:%s",
     {action::volume_down, action::volume_up, action::toggle_repeat, action::toggle_shuffle,
      action::toggle_vids, action::toggle_fullpath}},
    {"corequit:%s  help:%s  info:%s  look-for:%s  make-recursive-list:%s  open:%s",
     {action::core_quit, action::show_help, action::show_info, action::look_for,
      action::make_recursive_list, action::open}},
    {"tog_eq:%s  tog_flanger:%s  tog_earwax:%s  tog_contrast:%s  tog_reverb:%s",
     {action::toggle_eq, action::toggle_flanger, action::toggle_earwax, action::toggle_contrast,
      action::toggle_reverb}},
    {"tog_overdrive:%s  tog_karaoke:%s",
     {action::toggle_overdrive, action::toggle_karaoke}},
    {"copy-to-fav:%s  delete-file:%s  scrob-love:%s  scrob-on/off:%s",
     {action::copy_to_fav, action::delete_file, action::scrob_love, action::toggle_scrobbler}},
    {"goto-fav[0-9]:%s,%s,%s,%s,%s,%s,%s,%s,%s,%s  set-fav[0-9]:%s,%s,%s,%s,%s,%s,%s,%s,%s,%s",
     {action::load_fav0, action::load_fav1, action::load_fav2, action::load_fav3, action::load_fav4,
      action::load_fav5, action::load_fav6, action::load_fav7, action::load_fav8, action::load_fav9,
      action::set_fav0, action::set_fav1, action::set_fav2, action::set_fav3, action::set_fav4,
      action::set_fav5, action::set_fav6, action::set_fav7, action::set_fav8, action::set_fav9}},
};
static_assert(std::size(help_key_rows) == 8);

constexpr bool key_rows_match_their_formats()
{
    for (const help_key_row &row : help_key_rows) {
        int places = 0;
        for (const char *p = row.format; *p != '\0'; p++)
            if (p[0] == '%' && p[1] == 's')
                places++;
        int keys = 0;
        while (keys < max_row_keys && row.actions[keys] != action::none)
            keys++;
        if (places != keys)
            return false;
    }
    return true;
}
static_assert(key_rows_match_their_formats());

constexpr const char *player_names[] = {
    "U0",  "UADE2", "LAV", "TIM", "XMP",    "SP2",   "FLOD", "NSF",
    "FC",  "GME",   "YM",  "ADPLUG", "H-LAV", "U13", "U14",  "MPL",
    "SAP", "SC68",  "MDX", "U19", "U20",    "U21",   "U22",
};
static_assert(std::size(player_names) == 23);

// Labels of the info rows; nullptr: a blank row. Every value starts in the tenth column.
constexpr const char *info_labels[] = {
    nullptr,     "Path:    ", "File:    ", "Player:  ", nullptr,     "Title:   ",
    "Artist:  ", "Album:   ", "Year:    ", "Genre:   ", "Comment: ",
};
static_assert(std::size(info_labels) == 11);

constexpr bool info_labels_align()
{
    for (const char *label : info_labels) {
        if (label == nullptr)
            continue;
        int length = 0;
        while (label[length] != '\0')
            length++;
        if (length != 9)
            return false;
    }
    return true;
}
static_assert(info_labels_align());

constexpr int info_path_row = 1;
constexpr int info_player_row = 3;
constexpr int info_first_tag_row = 5;

// Text appended into a buffer and cut at its capacity, always terminated.
struct text_out {
    char *buf;
    size_t size;
    size_t len;
};

void put(text_out &out, const char *text, size_t max = (size_t)-1)
{
    for (size_t i = 0; i < max && text[i] != '\0' && out.len + 1 < out.size; i++)
        out.buf[out.len++] = text[i];
    out.buf[out.len] = '\0';
}

void format_ruler(text_out &out, const char *label)
{
    put(out, label);
    while (out.len < ruler_length && out.len + 1 < out.size)
        put(out, "-");
}

void format_key_row(text_out &out, const help_key_row &row)
{
    int next = 0;
    for (const char *p = row.format; *p != '\0'; p++) {
        if (p[0] == '%' && p[1] == 's') {
            put(out, conf.keys[row.actions[next++]], key_name_capacity - 1);
            p++;
        } else {
            char one[2] = {*p, '\0'};
            put(out, one);
        }
    }
}

const list_entry *current_entry()
{
    const entry_list &list = conf.list;
    if (list.cur < 0 || list.cur >= list.dmt || list.cur >= list_capacity)
        return nullptr;
    return list.index[list.cur];
}

const char *tag_of_row(int r)
{
    const player_state &p = conf.player;
    const char *tags[] = {p.title, p.artist, p.album, p.year, p.genre, p.comment};
    return tags[r - info_first_tag_row];
}

enum class info_text { none, filtered, raw };

// Formats info row r into buf; how it is to be written, or none for a blank row.
info_text format_info_row(int r, const list_entry *entry, char *buf, size_t size)
{
    if (r < 0 || r >= (int)std::size(info_labels) || info_labels[r] == nullptr)
        return info_text::none;
    if (r >= info_first_tag_row) {
        snprintf(buf, size, "%s%s", info_labels[r], tag_of_row(r));
        return info_text::filtered;
    }
    // Path, File and Player describe the entry at cur; without one they stay blank.
    if (entry == nullptr)
        return info_text::none;
    if (r == info_player_row) {
        int number = entry->type < 0 ? 0 : entry->type;
        snprintf(buf, size, "Player:  (%d) %s", number, player_name(number));
        return info_text::raw;
    }
    const char *text = entry->text[r - info_path_row];
    snprintf(buf, size, "%s%s", info_labels[r], text != nullptr ? text : "");
    return info_text::filtered;
}

void draw_info_row(int r, const list_entry *entry, int n)
{
    char text[info_text_capacity];
    int y = 1 + r;
    memset(text, ' ', (size_t)n);
    text[n] = '\0';
    put_text(y, text_column, text, n);
    // Formatted whole and cut by columns, so that no character is cut in half.
    info_text kind = format_info_row(r, entry, text, sizeof text);
    char shown[info_text_capacity];
    if (kind != info_text::none)
        put_text(y, text_column,
                 kind == info_text::filtered ? printable_name(shown, sizeof shown, text) : text,
                 n - 1);
    paint_span(y, text_column, conf.lw, style_info);
}

} // namespace

void format_help_row(int r, char *buf, size_t size)
{
    if (size == 0)
        return;
    text_out out{buf, size, 0};
    buf[0] = '\0';
    switch (r) {
    case 0:
        snprintf(buf, size, "vesk-remote-ncurses ver:%s", program_version);
        return;
    case 1: {
        // The version text comes from the core: one byte, one column, no control sequence.
        char version[sizeof conf.player.core_version];
        snprintf(buf, size, "vesk-core ver:%s",
                 printable_name(version, sizeof version, conf.player.core_version));
        return;
    }
    case 2:
        format_ruler(out, "-- keys: ");
        return;
    case 11:
        format_ruler(out, "-- vars: ");
        return;
    case 12:
        snprintf(buf, size, "host:%s  port:%d  scrobbler:%d", conf.remote_host, conf.remote_port,
                 conf.player.scrob);
        return;
    default:
        if (r >= first_key_row && r < first_key_row + (int)std::size(help_key_rows))
            format_key_row(out, help_key_rows[r - first_key_row]);
        return;
    }
}

const char *player_name(int number)
{
    if (number < 0 || number >= (int)std::size(player_names))
        return "?";
    return player_names[number];
}

void draw_help()
{
    if (conf.list.top == top_help_screen) {
        scrollto(conf.list.pos, 1);
        return;
    }
    if (conf.lw < 1) {
        dlog(8, "draw_help: conf.lw<1");
        return;
    }
    clear_list_area();
    char text[help_text_capacity];
    // Rows are formatted whole and cut by columns, one short of the panel's width.
    int columns = (conf.lw < help_text_capacity ? conf.lw : help_text_capacity) - 1;
    for (int r = 0; r < conf.lh && r < help_row_count; r++) {
        format_help_row(r, text, sizeof text);
        if (text[0] == '\0' || columns < 1)
            continue;
        put_text(1 + r, text_column, text, columns);
        paint_span(1 + r, text_column, conf.lw, style_help);
    }
    show_screen();
    conf.list.top = top_help_screen;
}

void draw_info()
{
    if (conf.list.top == top_info_screen) {
        scrollto(conf.list.pos, 1);
        return;
    }
    // No blank run of negative length: nothing is drawn, as on the help screen.
    if (conf.lw < 1) {
        dlog(8, "draw_info: conf.lw<1");
        return;
    }
    int n = conf.lw < info_text_capacity - 1 ? conf.lw : info_text_capacity - 1;
    const list_entry *entry = current_entry();
    for (int r = 0; r < conf.lh; r++)
        draw_info_row(r, entry, n);
    show_screen();
    conf.list.top = top_info_screen;
}
