#include "screen/status_text.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/protocol.h"
#include "screen/layout.h"

void format_time(char *buf, size_t size, float s_cur, float s_dur, int remaining_mode)
{
    if (s_cur < 0) {
        snprintf(buf, size, "    :  ");
        return;
    }
    int remaining = whole_seconds((double)s_dur - (double)s_cur);
    if (remaining_mode != 0 && remaining >= 0) {
        snprintf(buf, size, "-%3d:%02d", remaining / 60, remaining % 60);
        return;
    }
    int elapsed = whole_seconds(s_cur);
    snprintf(buf, size, " %3d:%02d", elapsed / 60, elapsed % 60);
}

void format_total_time(char *buf, size_t size, float s_dur)
{
    if (!(s_dur > 0)) {
        snprintf(buf, size, "   :  ");
        return;
    }
    int duration = whole_seconds(s_dur);
    snprintf(buf, size, "%3d:%02d", duration / 60, duration % 60);
}

void format_audio(char *buf, size_t size, int freq, int bitrate, int chan)
{
    // Each part is formatted in full, then cut to its field by the precision below.
    char rate[32];
    char bits[32];
    char channels[32];
    if (freq > 0)
        snprintf(rate, sizeof rate, "%2dkHz", freq / 1000);
    else
        snprintf(rate, sizeof rate, "--___");
    if (chan > 0)
        snprintf(channels, sizeof channels, "%2dch", chan);
    else
        snprintf(channels, sizeof channels, "--__");
    if (bitrate == 0 || bitrate == -1)
        snprintf(bits, sizeof bits, "  --/-- ");
    else if (bitrate > 0xFFFF)
        // A sub-song pair: zero-based number in the low half, count in the high half.
        snprintf(bits, sizeof bits, "  %02d/%02d ", (bitrate & 0xFFFF) + 1, bitrate >> 16);
    else
        snprintf(bits, sizeof bits, "%4dkb/s", bitrate);
    snprintf(buf, size, " %.6s %.8s %.4s ", rate, bits, channels);
}

namespace {

struct state_entry {
    int state;
    const char *symbol;
};

constexpr state_entry state_symbols[] = {
    {0, "><"}, {1, "<>"}, {2, "[]"}, {3, "|>"}, {4, "||"},
    {5, ">="}, {6, "=>"}, {12, "|]"}, {14, "_|"},
};
static_assert(std::size(state_symbols) == 9);

// Appends text to the terminated contents of buf, cutting at its capacity.
void append(char *buf, size_t size, const char *text)
{
    size_t used = strlen(buf);
    if (used + 1 < size)
        snprintf(buf + used, size - used, "%s", text);
}

} // namespace

void format_effects(char (&letters)[8], int effects, int eq)
{
    // The highest bit shows first.
    constexpr int count = (int)std::size(effect_switches);
    static_assert(count + 2 == sizeof letters);
    for (int i = 0; i < count; i++) {
        const effect_switch &effect = effect_switches[count - 1 - i];
        letters[i] = (effects & effect.bit) ? effect.letter : ' ';
    }
    letters[count] = eq != 0 ? 'E' : ' ';
    letters[count + 1] = '\0';
}

char shuffle_letter(int shuffle)
{
    switch (shuffle) {
    case 0: return ' ';
    case 1: return 's';
    case 2: return 'S';
    default: return '?';
    }
}

char repeat_letter(int repeat)
{
    switch (repeat) {
    case 1: return 'r';
    case 2: return '1';
    default: return ' ';
    }
}

const char *state_symbol(int state)
{
    for (const state_entry &entry : state_symbols)
        if (entry.state == state)
            return entry.symbol;
    return nullptr;
}

void format_now_playing(char *buf, size_t size, const player_state &player)
{
    if (size == 0)
        return;
    buf[0] = '\0';
    // Clips the core unpacked into its temporary directory carry that prefix in their title.
    constexpr char unpacked_prefix[] = "tmp/vesktmp-";
    constexpr size_t prefix_length = sizeof unpacked_prefix - 1;
    const char *title = player.title;
    if (strncmp(title, unpacked_prefix, prefix_length) == 0)
        title += prefix_length;
    append(buf, size, title);
    if (player.artist[0] != '\0') {
        append(buf, size, " - ");
        append(buf, size, player.artist);
    }
    const char *details[] = {player.year, player.album, player.comment};
    bool any_detail = false;
    for (const char *detail : details) {
        if (detail[0] == '\0')
            continue;
        append(buf, size, any_detail ? ", " : " (");
        append(buf, size, detail);
        any_detail = true;
    }
    if (any_detail)
        append(buf, size, ")");
}
