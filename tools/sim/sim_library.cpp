#include "sim_library.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// One row of the library, in depth-first order: a row's parent is the nearest row above it with a
// smaller depth.
struct lib_row {
    int depth;
    const char *name;
    sim_clip clip;
};

constexpr sim_clip dir_clip = {sim_dir_type, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr};

constexpr lib_row dir(int depth, const char *name)
{
    return {depth, name, dir_clip};
}

// The library. Some directories send a file before their subdirectories, so that the order on the
// wire differs from the order the client shows; tags carry commas, UTF-8 and one Latin-1 byte.
constexpr lib_row lib_rows[] = {
    dir(0, ""),
    dir(1, "Amiga"),
    {2, "Blitz Intro.mod", {4, 24, 0, 44100, 0, 4, "Blitz Intro", "Unknown", "", "1991", "Tracker", "short, loud"}},
    dir(2, "Protracker"),
    {3, "4mat - Eternity.mod", {4, 185, 0, 44100, 0, 4, "Eternity", "4mat", "Amiga Power", "1993", "Tracker", ""}},
    {3, "Jester - Elysium.mod", {4, 212, 0, 44100, 0, 4, "Elysium", "Jester", "", "1990", "Tracker", "Sanity"}},
    {3, "Jingle.mod", {4, 5, 0, 22050, 0, 4, "Jingle", "Anonymous", "", "", "", "five seconds"}},
    dir(2, "Future Composer"),
    {3, "Jochen Hippel - Wings of Death.fc", {8, 240, 7, 44100, 0, 4, "Wings of Death", "Jochen Hippel", "Wings of Death", "1990", "Game", "level 1, level 2, ..."}},
    {3, "Romeo Knight - Bodyshock.fc", {8, 199, 0, 44100, 0, 4, "Bodyshock", "Romeo Knight", "", "1989", "Demo", ""}},
    dir(2, "TFMX"),
    {3, "Chris H\xc3\xbclsbeck - Turrican 2.tfx", {6, 301, 0, 48000, 0, 4, "Turrican 2, The Final Fight", "Chris H\xc3\xbclsbeck", "Turrican 2", "1991", "Game", "Rainbow Arts"}},
    dir(2, "Custom"),
    {3, "Jochen Hippel - Chambers of Shaolin.hip", {1, 177, 0, 44100, 0, 4, "Chambers of Shaolin", "Jochen Hippel", "", "1989", "Game", ""}},
    dir(1, "C64"),
    dir(2, "Hubbard, Rob"),
    {3, "Commando.sid", {5, 210, 3, 44100, 0, 1, "Commando", "Rob Hubbard", "Elite", "1985", "Game", "sub-songs: title, hiscore, game over"}},
    {3, "Monty on the Run.sid", {5, 356, 0, 44100, 0, 1, "Monty on the Run", "Rob Hubbard", "Gremlin", "1985", "Game", ""}},
    dir(2, "Galway, Martin"),
    {3, "Wizball.sid", {5, 263, 4, 44100, 0, 1, "Wizball", "Martin Galway", "Ocean", "1987", "Game", ""}},
    dir(3, "Unreleased"),
    {4, "Demo Tune.sid", {5, 95, 0, 44100, 0, 1, "Demo Tune", "Martin Galway", "", "", "", "never released, found on a disk"}},
    dir(1, "Consoles"),
    dir(2, "NES"),
    {3, "Mega Man 2.nsf", {7, 120, 24, 44100, 0, 1, "Mega Man 2", "Takashi Tateishi", "Capcom", "1988", "Game", ""}},
    dir(2, "Game Boy"),
    {3, "Tetris.gbs", {9, 150, 12, 44100, 0, 2, "Tetris", "Hirokazu Tanaka", "Nintendo", "1989", "Game", "Korobeiniki, A-Type"}},
    dir(2, "Atari ST"),
    {3, "Lotus Turbo Challenge.ym", {10, 143, 0, 44100, 0, 1, "Lotus Turbo Challenge", "Barry Leitch", "Gremlin", "1990", "Game", ""}},
    {3, "Wings of Death.sc68", {17, 222, 5, 44100, 0, 2, "Wings of Death (ST)", "Jochen Hippel", "Thalion", "1990", "Game", ""}},
    dir(2, "Atari XL"),
    {3, "Ballblazer.sap", {16, 180, 0, 44100, 0, 2, "Ballblazer", "Peter Langston", "Lucasfilm", "1984", "Game", ""}},
    dir(2, "X68000"),
    {3, "Castlevania.mdx", {18, 164, 0, 44100, 0, 2, "Akumajou Dracula", "Konami Kukeiha Club", "", "1993", "Game", ""}},
    dir(1, "PC"),
    {2, "Canyon.mid", {3, 140, 0, 32000, 0, 2, "Canyon", "George Stone", "Windows 3.0", "1990", "MIDI", ""}},
    dir(2, "AdLib"),
    {3, "Bobby Prince - E1M1.imf", {11, 97, 0, 49716, 0, 1, "At Doom's Gate", "Bobby Prince", "Doom", "1993", "Game", "E1M1"}},
    {3, "Dune.rad", {11, 205, 0, 49716, 0, 1, "Dune", "Stephane Picq", "", "1992", "Game", ""}},
    dir(2, "Tracker"),
    {3, "Purple Motion - Satellite One.s3m", {4, 331, 0, 44100, 0, 2, "Satellite One", "Purple Motion", "", "1994", "Tracker", "Future Crew"}},
    dir(1, "Music"),
    dir(2, "Jazz"),
    dir(3, "Quartet, The"),
    dir(4, "1959 - Blue Sessions"),
    {5, "01 So What.flac", {2, 562, 0, 44100, 1411, 2, "So What, Take 2", "The Quartet", "Blue Sessions", "1959", "Jazz", "remastered, 1997, mono"}},
    {5, "02 Freddie.flac", {2, 586, 0, 44100, 1411, 2, "Freddie Freeloader", "The Quartet", "Blue Sessions", "1959", "Jazz", ""}},
    dir(2, "Electronic"),
    {3, "\xc3\x89tude.ogg", {2, 254, 0, 48000, 192, 2, "\xc3\x89tude n\xc2\xb0" "1", "L\xc3\xa9on", "Cahiers, vol. 2", "2004", "Electronic", ""}},
    {3, "Caf\xe9 del Mar.mp3", {12, 433, 0, 44100, 320, 2, "Caf\xe9 del Mar (Latin-1 tag)", "Energy 52", "", "1993", "Trance", "tag written in Latin-1"}},
    {3, "A very long title that does not fit anywhere at all.mp3", {12, 3725, 0, 44100, 128, 2, "A very long title that does not fit anywhere at all, really", "Somebody With A Long Name, And Friends", "", "2011", "Ambient", "an hour, two minutes and five seconds"}},
    dir(2, "Podcasts"),
    {3, "Episode 1.mp3", {12, 1800, 0, 22050, 64, 1, "Episode 1: Hello", "Two Hosts", "The Show", "2020", "Speech", ""}},
    dir(1, "Videos"),
    {2, "Trailer.mkv", {15, 95, 0, 48000, 256, 6, "Trailer", "Studio", "", "2018", "Film", "5.1 sound"}},
    {2, "Lecture.mp4", {15, 2700, 0, 44100, 96, 2, "Lecture", "A Professor", "", "2015", "Talk", ""}},
    dir(1, "Unusual"),
    {2, "mystery.bin", {0, 60, 0, 0, -1, 0, "", "", "", "", "", ""}},
    {2, "thirteen.u13", {13, 61, 0, 8000, 0, 1, "Thirteen", "", "", "", "", ""}},
    {2, "fourteen.u14", {14, 62, 0, 11025, 0, 1, "Fourteen", "", "", "", "", ""}},
    {2, "nineteen.u19", {19, 63, 2, 16000, 0, 1, "Nineteen", "", "", "", "", ""}},
    {2, "twenty.u20", {20, 64, 0, 96000, 0, 8, "Twenty", "", "", "", "", ""}},
    {2, "twentyone.u21", {21, 65, 0, 192000, 0, 2, "Twenty-one", "", "", "", "", ""}},
    {2, "twentytwo.u22", {22, 66, 0, 44100, 9999, 2, "Twenty-two", "", "", "", "", ""}},
    dir(1, "Big"),
};
constexpr int lib_row_count = (int)std::size(lib_rows);
static_assert(lib_row_count == 65);
constexpr int big_dir_row = lib_row_count - 1;
constexpr int path_max = 512;

int lib_parents[lib_row_count];
int lib_big_count = 0;

// The n-th generated clip: every player, short and long durations, some with sub-songs.
sim_clip big_clip(int n)
{
    int type = n % 23;
    return {type, 20 + n % 200, n % 7 == 0 ? 1 + n % 5 : 0, 44100, n % 3 == 0 ? 0 : 128 + n % 192,
            1 + n % 2, "Generated clip", "vesk-core-sim", "Big", "2024", "Test", "load test entry"};
}

void big_name(int n, char *buf, size_t cap)
{
    snprintf(buf, cap, "clip-%07d.mod", n);
}

// The entry's path under the root ("" for the root itself).
void relative_path(int ref, char *buf, size_t cap)
{
    if (cap == 0)
        return;
    buf[0] = '\0';
    if (ref <= 0)
        return;
    // The parent's path, then a slash and the name in what room is left.
    relative_path(sim_lib_parent(ref), buf, cap);
    size_t used = strlen(buf);
    if (used > 0 && used + 1 < cap) {
        buf[used++] = '/';
        buf[used] = '\0';
    }
    sim_lib_text(ref, 0, buf + used, cap - used);
}

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool contains_ignoring_case(const char *text, const char *word)
{
    if (text == nullptr)
        return false;
    size_t n = strlen(word);
    for (const char *p = text; *p != '\0'; p++) {
        size_t i = 0;
        while (i < n && p[i] != '\0' && ascii_lower(p[i]) == ascii_lower(word[i]))
            i++;
        if (i == n)
            return true;
    }
    return false;
}

// The generated clip named by the first len bytes of name; -1 when there is none.
int find_big_child(const char *name, size_t len)
{
    int n = -1;
    int used = 0;
    if (sscanf(name, "clip-%7d.mod%n", &n, &used) != 1 || (size_t)used != len || n < 0 ||
        n >= lib_big_count)
        return -1;
    char text[path_max];
    big_name(n, text, sizeof text);
    return strncmp(text, name, len) == 0 ? lib_row_count + n : -1;
}

// The child of dir whose name is the first len bytes of name; -1 when there is none.
int find_child(int dir, const char *name, size_t len)
{
    if (dir == big_dir_row)
        return find_big_child(name, len);
    for (int ref = dir + 1; ref < lib_row_count; ref++) {
        const char *text = lib_rows[ref].name;
        if (lib_parents[ref] == dir && sim_lib_valid(ref) && strlen(text) == len &&
            memcmp(text, name, len) == 0)
            return ref;
    }
    return -1;
}

} // namespace

void sim_lib_init(int big_count)
{
    lib_big_count = big_count < 0 ? 0 : big_count;
    int stack[16] = {-1};
    for (int row = 0; row < lib_row_count; row++) {
        int depth = lib_rows[row].depth;
        lib_parents[row] = depth == 0 ? -1 : stack[depth - 1];
        stack[depth] = row;
    }
}

int sim_lib_end()
{
    return lib_row_count + lib_big_count;
}

bool sim_lib_valid(int ref)
{
    if (ref == big_dir_row)
        return lib_big_count > 0;
    return ref >= 0 && ref < sim_lib_end();
}

bool sim_lib_is_dir(int ref)
{
    return ref >= 0 && ref < lib_row_count && lib_rows[ref].clip.type < 0;
}

int sim_lib_parent(int ref)
{
    if (ref >= lib_row_count)
        return big_dir_row;
    return ref >= 0 ? lib_parents[ref] : -1;
}

int sim_lib_big_dir()
{
    return lib_big_count > 0 ? big_dir_row : -1;
}

void sim_lib_each_child(int dir, void (*visit)(int ref, void *data), void *data)
{
    if (!sim_lib_is_dir(dir) || !sim_lib_valid(dir))
        return;
    for (int ref = dir + 1; ref < lib_row_count && lib_rows[ref].depth > lib_rows[dir].depth; ref++)
        if (lib_parents[ref] == dir && sim_lib_valid(ref))
            visit(ref, data);
    if (dir == big_dir_row)
        for (int n = 0; n < lib_big_count; n++)
            visit(lib_row_count + n, data);
}

void sim_lib_text(int ref, int mode, char *buf, size_t cap)
{
    if (cap == 0)
        return;
    if (mode == 0) {
        if (ref >= lib_row_count)
            big_name(ref - lib_row_count, buf, cap);
        else
            snprintf(buf, cap, "%s", ref >= 0 ? lib_rows[ref].name : "");
        return;
    }
    char rel[path_max];
    relative_path(ref, rel, sizeof rel);
    if (mode == 1)
        snprintf(buf, cap, "%s", rel);
    else if (rel[0] == '\0')
        snprintf(buf, cap, "%s", sim_library_root);
    else
        snprintf(buf, cap, "%s/%s", sim_library_root, rel);
}

int sim_lib_find(const char *text)
{
    size_t root_len = strlen(sim_library_root);
    if (strncmp(text, sim_library_root, root_len) == 0 &&
        (text[root_len] == '\0' || text[root_len] == '/'))
        text += root_len;
    int ref = 0;
    while (*text != '\0') {
        while (*text == '/')
            text++;
        size_t len = strcspn(text, "/");
        if (len == 0)
            break;
        if (ref >= lib_row_count || !sim_lib_is_dir(ref))
            return -1;
        ref = find_child(ref, text, len);
        if (ref < 0)
            return -1;
        text += len;
    }
    return ref;
}

sim_clip sim_lib_clip(int ref)
{
    if (ref >= lib_row_count && ref < sim_lib_end())
        return big_clip(ref - lib_row_count);
    if (ref < 0 || ref >= lib_row_count)
        return dir_clip;
    return lib_rows[ref].clip;
}

bool sim_lib_matches(int ref, const char *word)
{
    char name[path_max];
    sim_lib_text(ref, 0, name, sizeof name);
    sim_clip clip = sim_lib_clip(ref);
    return contains_ignoring_case(name, word) || contains_ignoring_case(clip.title, word) ||
           contains_ignoring_case(clip.artist, word);
}
