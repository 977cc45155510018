#include "screen/panel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/log.h"
#include "base/text.h"
#include "conf.h"
#include "host/cpu_load.h"
#include "host/now_playing.h"
#include "screen/layout.h"
#include "screen/message_line.h"
#include "screen/paint.h"
#include "screen/status_text.h"
#include "screen/style.h"
#include "screen/window.h"

namespace {

screen_field field_of(field which)
{
    return field_at(which, conf.lines, conf.cols);
}

// Paints the whole field in its style, keeping its characters.
void paint_field(const screen_field &f)
{
    paint_span(f.y, f.x, f.width, f.style);
}

void put_bar(int y, int x, int width, int value)
{
    char bar[256];
    bar_text(bar, sizeof bar, width, value);
    put_text(y, x, bar, (int)strlen(bar));
}

bool has_tags(const player_state &p)
{
    return p.title[0] || p.artist[0] || p.album[0] || p.year[0] || p.comment[0];
}

bool playing_entry_listed()
{
    const entry_list &list = conf.list;
    return list.cur >= 0 && list.cur < list.dmt && list.cur < list_capacity &&
           list.index[list.cur] != nullptr;
}

} // namespace

void set_list_title(const char *text)
{
    char *name = conf.player.list_name;
    if (text != name)
        zt_strncpy(name, text, sizeof conf.player.list_name - 1);
    draw_list_title();
}

void draw_list_title()
{
    if (!screen_ready())
        return;
    // The title may come from the core: no control sequence, and laid out by its columns.
    char name[sizeof conf.player.list_name];
    printable_name(name, sizeof name, conf.player.list_name);
    int cols = conf.cols;
    title_span span = title_span_for(text_columns(name), cols);
    draw_hline(0, 1, conf.glyphs.hline, cols - 2);
    if (span.cut) {
        put_text(0, 2, "...", std::min(3, span.width));
        text_fit head = text_head(name, span.skip);
        // A wide character cut in half at the start of the tail leaves its column blank.
        int blank = head.columns - span.skip;
        put_text(0, 5, " ", blank);
        put_text(0, 5 + blank, name + head.bytes, span.width - 3 - blank);
    } else {
        put_text(0, span.start, name, span.width);
    }
    put_char(0, span.start - 1, conf.glyphs.rtee);
    put_char(0, span.start + span.width, conf.glyphs.ltee);
    show_screen();
}

void draw_time()
{
    if (!screen_ready())
        return;
    const player_state &p = conf.player;
    char text[32];
    format_time(text, sizeof text, p.s_cur, p.s_dur, conf.timeremaining_mode);
    screen_field f = field_of(field::time);
    put_text(f.y, f.x, text, (int)strlen(text));
    paint_field(f);
    draw_clock();
    draw_progress();
    show_screen();
}

// The sample goes with the clock: taken only when there is a screen to show it on.
void show_time()
{
    if (screen_ready())
        read_cpu_load();
    draw_time();
}

void draw_clock()
{
    if (!screen_ready())
        return;
    char load[16];
    snprintf(load, sizeof load, "[%3d%%]", conf.cpu.cpu_load);
    screen_field load_field = field_of(field::cpu_load);
    put_text(load_field.y, load_field.x, load, load_field.width);
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr)
        return;
    char clock[16];
    snprintf(clock, sizeof clock, "[%2d:%02d]", local.tm_hour, local.tm_min);
    screen_field clock_field = field_of(field::clock);
    put_text(clock_field.y, clock_field.x, clock, (int)strlen(clock));
}

void draw_progress()
{
    if (!screen_ready())
        return;
    const click_region &seek = conf.click_regions[seek_region];
    int width = progress_width(seek);
    if (width == 0)
        return;
    put_bar(seek.y1, seek.x1, width, progress_percent(conf.player.s_cur, conf.player.s_dur));
}

void draw_total_time()
{
    if (!screen_ready())
        return;
    char text[32];
    format_total_time(text, sizeof text, conf.player.s_dur);
    screen_field f = field_of(field::total_time);
    put_text(f.y, f.x, text, (int)strlen(text));
    paint_field(f);
    show_screen();
}

void draw_state()
{
    if (!screen_ready())
        return;
    screen_field f = field_of(field::state);
    const char *symbol = state_symbol(conf.player.state);
    if (symbol != nullptr)
        put_text(f.y, f.x, symbol, f.width);
    paint_field(f);
    show_screen();
    dlog(8, "[draw_state: %d]", conf.player.state);
}

void draw_format()
{
    if (!screen_ready())
        return;
    const player_state &p = conf.player;
    char text[40];
    format_audio(text, sizeof text, p.freq, p.bitrate, p.chan);
    screen_field f = field_of(field::format);
    put_text(f.y, f.x, text, (int)strlen(text));
    paint_field(f);
    show_screen();
}

void draw_effects()
{
    if (!screen_ready())
        return;
    char letters[8];
    format_effects(letters, conf.player.effects, conf.player.eq);
    screen_field f = field_of(field::effects);
    put_text(f.y, f.x, letters, f.width);
    paint_span_as(f.y, f.x, f.width, f.style, conf.attr[style_text]);
    show_screen();
}

void draw_shuffle()
{
    if (!screen_ready())
        return;
    screen_field f = field_of(field::shuffle);
    put_styled_char(f.y, f.x, (unsigned char)shuffle_letter(conf.player.shuffle), f.style);
    show_screen();
}

void draw_repeat()
{
    if (!screen_ready())
        return;
    screen_field f = field_of(field::repeat);
    put_styled_char(f.y, f.x, (unsigned char)repeat_letter(conf.player.repeat), f.style);
    show_screen();
}

void draw_volume()
{
    if (!screen_ready())
        return;
    char number[16];
    snprintf(number, sizeof number, "%3d", conf.player.vol);
    screen_field f = field_of(field::volume);
    put_text(f.y, f.x, number, (int)strlen(number));
    paint_field(f);
    const click_region &bar = conf.click_regions[volume_region];
    if (bar.code == region_volume_bar)
        put_bar(bar.y1, bar.x1, bar.x2 - bar.x1 - 1, conf.player.vol);
    show_screen();
}

void draw_buttons()
{
    if (!screen_ready())
        return;
    build_click_regions(conf.click_regions, conf.lines, conf.cols);
    for (int i = 0; i < click_region_count; i++) {
        const click_region &r = conf.click_regions[i];
        if (r.code == region_unused)
            continue;
        if (const char *top = region_label(i, false))
            put_text(r.y1, r.x1, top, (int)strlen(top));
        if (const char *bottom = region_label(i, true))
            put_text(r.y2, r.x1, bottom, (int)strlen(bottom));
    }
}

static bool has_tagged_playing_entry()
{
    return playing_entry_listed() && has_tags(conf.player);
}

bool has_now_playing()
{
    return conf.link.stream_ended || has_tagged_playing_entry();
}

// Builds the now-playing text in conf.message and shows it; false when nothing was shown.
static bool draw_now_playing()
{
    if (!screen_ready() || !has_tagged_playing_entry())
        return false;
    format_now_playing(conf.message, sizeof conf.message, conf.player);
    // The tags come from the core: painted in their printable form, no control sequence.
    paint_message_line(conf.message);
    return true;
}

// Writes the now-playing file and notes what it was given and whether it holds it.
static void put_now_playing_file(const char *text)
{
    conf.now_playing_written = write_now_playing_file(text);
    zt_strncpy(conf.now_playing, text, sizeof conf.now_playing - 1);
}

void show_now_playing()
{
    // The tags of a core that has gone are no news: the line says it has gone.
    if (conf.link.stream_ended) {
        show_message(stream_closed_text);
        return;
    }
    // A redraw tries again what failed (a directory made since), but rewrites no same text.
    if (draw_now_playing() &&
        (!conf.now_playing_written || strcmp(conf.message, conf.now_playing) != 0))
        put_now_playing_file(conf.message);
}

void follow_now_playing()
{
    if (!has_tagged_playing_entry())
        return;
    char text[sizeof conf.message];
    format_now_playing(text, sizeof text, conf.player);
    // Runs every pass: a file that cannot be written waits for the next redraw or text.
    if (strcmp(text, conf.now_playing) != 0)
        put_now_playing_file(text);
}
