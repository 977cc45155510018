// The simulator's made-up media library: a fixed tree of directories and clips, plus an optional
// directory of generated clips for load tests. Entries are addressed by a reference: a row of the
// fixed table, or, past its rows, the n-th generated clip of the big directory.
#pragma once

#include <cstddef>

// Where the library pretends to live; full paths start with it.
constexpr const char *sim_library_root = "/media/library";
// Type of a directory entry; files carry the number of the player that plays them (0..22).
constexpr int sim_dir_type = -1;

// What a clip reports while it plays.
struct sim_clip {
    int type;
    int duration;
    int subsongs; // 0: a plain clip; n > 0: n sub-songs reported through BITRATE
    int freq;
    int bitrate;
    int chan;
    const char *title;
    const char *artist;
    const char *album;
    const char *year;
    const char *genre;
    const char *comment;
};

// Builds the parent links of the fixed table and sets the size of the big directory (0: none).
void sim_lib_init(int big_count);
// One past the highest valid reference.
int sim_lib_end();
bool sim_lib_valid(int ref);
bool sim_lib_is_dir(int ref);
// The parent directory of a reference; -1 for the root.
int sim_lib_parent(int ref);
// The big directory's row, or -1 when the library has none.
int sim_lib_big_dir();
// Calls visit(ref, data) for each child of dir, in the order a listing sends them.
void sim_lib_each_child(int dir, void (*visit)(int ref, void *data), void *data);
// The entry's text in path mode 0 (name), 1 (path under the root) or 2 (full path).
void sim_lib_text(int ref, int mode, char *buf, size_t cap);
// The reference whose path under the root or full path is text; -1 when there is none.
int sim_lib_find(const char *text);
// The clip data of a file reference; a zeroed clip for a directory.
sim_clip sim_lib_clip(int ref);
// True when the entry's name, title or artist contains word, ignoring ASCII case.
bool sim_lib_matches(int ref, const char *word);
