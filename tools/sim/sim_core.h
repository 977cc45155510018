// The simulated core's state machine: commands in, report lines out, without any socket. The
// network side (sim_main.cpp) opens a client slot per connection, hands each received chunk to
// sim_command, calls sim_tick once per simulated second while a clip plays, and sends what the
// slot's outbox holds (sim_outbox.h).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char *sim_version = "0.1-sim";
constexpr int sim_max_clients = 16;
// Entries of one list; the big directory is limited so that it always fits.
constexpr int sim_list_cap = 1 << 20;
constexpr int sim_big_max = 1000000;
static_assert(sim_big_max + 100 < sim_list_cap);
constexpr size_t sim_out_cap = 65536;
constexpr size_t sim_hold_cap = 16384;
constexpr size_t sim_line_cap = 1024;
constexpr int sim_fav_slots = 10;
constexpr int sim_word_cap = 256;
constexpr int sim_volume_step = 3;
constexpr int sim_skip_seconds = 10;

enum sim_list_kind { sim_list_dir, sim_list_search, sim_list_recursive };

// What a list is made of; kept by the favourite slots, rebuilt when shown.
struct sim_list_desc {
    int kind;
    int dir; // the listed directory, or the one a search or recursive list was made from
    char word[sim_word_cap];
};

// The core's current list, in the order it goes out on the wire.
struct sim_list {
    sim_list_desc desc;
    int count;
    int dirs;
    int came_from; // the entry the cursor goes to when nothing of the list plays; -1: none
    int refs[sim_list_cap];
};

struct sim_player {
    int state;
    int clip; // library reference of the loaded clip, -1 before the first
    int pos;  // seconds into the clip
    int subsong;
    int vol;
    int shuffle; // 0 off, 1 and 2 the two shuffle modes
    int repeat;  // 0 off, 1 the list, 2 one clip
    int eq;
    int effects;
    int scrob;
    int vids;
    uint32_t rng;
    int idx;   // the loaded clip's place in refs
    int count; // files of the list the clip was loaded from, in the order the client shows them
    int refs[sim_list_cap];
};

// A listing in progress: entries are formatted only as the socket takes them.
struct sim_stream {
    bool active;
    bool start_pending;
    int next;
};

struct sim_client {
    bool in_use;
    bool greeted;
    bool closing;  // close once the outbox is sent (after QUIT)
    bool overflow; // the client read too slowly; close it at once
    int path_mode;
    sim_stream stream;
    size_t out_len;
    size_t hold_len;
    char out[sim_out_cap];   // bytes ready to send
    char hold[sim_hold_cap]; // lines that must wait behind a listing in progress
};

struct sim_core {
    sim_list list;
    sim_player player;
    sim_list_desc favs[sim_fav_slots];
    bool fav_set[sim_fav_slots];
    sim_client clients[sim_max_clients];
};

// Resets everything: the library with a big directory of big_count clips, the root list, nothing
// loaded, no clients.
void sim_core_init(sim_core &core, int big_count);
// A free client slot for a new connection, or -1 when all are taken.
int sim_client_open(sim_core &core);
void sim_client_close(sim_core &core, int slot);
// The core stops: every client is told COREQUIT after what it has queued and is to be closed
// once that is sent.
void sim_goodbye(sim_core &core);
// Runs the commands of one received chunk; false when none was recognised.
bool sim_command(sim_core &core, int slot, const char *chunk, size_t len);
// One simulated second of play; does nothing unless a clip plays.
void sim_tick(sim_core &core);
bool sim_is_playing(const sim_core &core);
// The reference at a position as the client shows the list (directories first); -1 outside.
int sim_list_at(const sim_list &list, int pos);
// The position of a reference as the client shows the list; -1 when it is not in the list.
int sim_list_position(const sim_list &list, int ref);
