#include "sim_core.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/protocol.h"
#include "sim_library.h"
#include "sim_outbox.h"

namespace {

using report_fn = void (*)(sim_core &core, sim_client &client);

// Sends a report to every client that has greeted; the others learn the state when they do.
void broadcast(sim_core &core, report_fn report)
{
    for (sim_client &client : core.clients)
        if (client.in_use && client.greeted)
            report(core, client);
}

// ---- lists -------------------------------------------------------------------------------------

void push_ref(int ref, void *data)
{
    sim_list &list = *(sim_list *)data;
    if (list.count < sim_list_cap)
        list.refs[list.count++] = ref;
}

void push_files_below(int ref, void *data)
{
    if (sim_lib_is_dir(ref))
        sim_lib_each_child(ref, push_files_below, data);
    else
        push_ref(ref, data);
}

void collect_matches(sim_list &list)
{
    int end = sim_lib_end();
    for (int ref = 1; ref < end; ref++)
        if (!sim_lib_is_dir(ref) && sim_lib_valid(ref) && sim_lib_matches(ref, list.desc.word))
            push_ref(ref, &list);
}

void build_list(sim_list &list, const sim_list_desc &desc, int came_from)
{
    list.desc = desc;
    list.count = 0;
    list.came_from = came_from;
    if (desc.kind == sim_list_dir)
        sim_lib_each_child(desc.dir, push_ref, &list);
    else if (desc.kind == sim_list_recursive)
        sim_lib_each_child(desc.dir, push_files_below, &list);
    else
        collect_matches(list);
    list.dirs = 0;
    for (int i = 0; i < list.count; i++)
        list.dirs += sim_lib_is_dir(list.refs[i]) ? 1 : 0;
}

sim_list_desc dir_desc(int dir)
{
    sim_list_desc desc{};
    desc.kind = sim_list_dir;
    desc.dir = dir;
    return desc;
}

void dir_title(int dir, int mode, char *buf, size_t cap)
{
    if (dir == 0 && mode != 2)
        snprintf(buf, cap, "root menu");
    else
        sim_lib_text(dir, mode, buf, cap);
}

void list_title(const sim_list &list, int mode, char *buf, size_t cap)
{
    char dir[512];
    dir_title(list.desc.dir, mode, dir, sizeof dir);
    if (list.desc.kind == sim_list_dir)
        snprintf(buf, cap, "%s", dir);
    else if (list.desc.kind == sim_list_recursive)
        snprintf(buf, cap, "recursive: %s", dir);
    else
        snprintf(buf, cap, "search: %s (%d found)", list.desc.word, list.count);
}

// Where the cursor belongs in the current list: the playing clip, else the entry we came from.
int cursor_position(const sim_core &core)
{
    int pos = core.player.clip >= 0 ? sim_list_position(core.list, core.player.clip) : -1;
    if (pos < 0 && core.list.came_from >= 0)
        pos = sim_list_position(core.list, core.list.came_from);
    return pos < 0 ? 0 : pos;
}

void send_list(sim_core &core, sim_client &client)
{
    char title[sim_line_cap - 64];
    list_title(core.list, client.path_mode, title, sizeof title);
    sim_emit(client, "LISTNAME=%s", title);
    sim_begin_list(client);
    sim_emit(client, "CUR=%d", cursor_position(core));
}

void show_list(sim_core &core, const sim_list_desc &desc, int came_from)
{
    build_list(core.list, desc, came_from);
    broadcast(core, send_list);
}

// ---- reports -----------------------------------------------------------------------------------

void report_state(sim_core &core, sim_client &client)
{
    sim_emit(client, "STATE=%d", core.player.state);
}

void report_time(sim_core &core, sim_client &client)
{
    sim_emit(client, "TIME=%d", core.player.pos);
}

void report_volume(sim_core &core, sim_client &client)
{
    sim_emit(client, "VOL=%d", core.player.vol);
}

void report_shuffle(sim_core &core, sim_client &client)
{
    sim_emit(client, "SHUFFLE=%d", core.player.shuffle);
}

void report_repeat(sim_core &core, sim_client &client)
{
    sim_emit(client, "REPEAT=%d", core.player.repeat);
}

void report_vids(sim_core &core, sim_client &client)
{
    sim_emit(client, "VIDS=%d", core.player.vids);
}

void report_eq(sim_core &core, sim_client &client)
{
    sim_emit(client, "CONF=EQ %d", core.player.eq);
}

void report_effects(sim_core &core, sim_client &client)
{
    sim_emit(client, "CONF=EFFECTS %d", core.player.effects);
}

void report_scrob(sim_core &core, sim_client &client)
{
    sim_emit(client, "SCROB=%d", core.player.scrob);
}

void report_cursor(sim_core &core, sim_client &client)
{
    int pos = sim_list_position(core.list, core.player.clip);
    if (pos >= 0)
        sim_emit(client, "CUR=%d", pos);
}

// BITRATE carries the sub-song pair (count high, zero-based number low) for clips that have them.
int reported_bitrate(const sim_player &player, const sim_clip &clip)
{
    if (clip.subsongs > 0)
        return (int)(((unsigned)clip.subsongs << 16) | (unsigned)player.subsong);
    return clip.bitrate;
}

void report_subsong(sim_core &core, sim_client &client)
{
    sim_clip clip = sim_lib_clip(core.player.clip);
    sim_emit(client, "TTIME=%d", clip.duration);
    sim_emit(client, "TIME=%d", core.player.pos);
    sim_emit(client, "BITRATE=%d", reported_bitrate(core.player, clip));
}

// What the loaded clip is: times, tags, format and its place in the list.
void report_clip_details(sim_core &core, sim_client &client)
{
    sim_clip clip = sim_lib_clip(core.player.clip);
    report_subsong(core, client);
    sim_emit(client, "TITLE=%s", clip.title);
    sim_emit(client, "ARTIST=%s", clip.artist);
    sim_emit(client, "ALBUM=%s", clip.album);
    sim_emit(client, "YEAR=%s", clip.year);
    sim_emit(client, "GENRE=%s", clip.genre);
    sim_emit(client, "COMMENT=%s", clip.comment);
    sim_emit(client, "FREQ=%d", clip.freq);
    sim_emit(client, "CHAN=%d", clip.chan);
    report_cursor(core, client);
    if (clip.artist[0] != '\0')
        sim_emit(client, "CURNAME=%s - %s", clip.title, clip.artist);
    else
        sim_emit(client, "CURNAME=%s", clip.title);
}

void report_clip(sim_core &core, sim_client &client)
{
    report_state(core, client);
    report_clip_details(core, client);
}

// Everything a client needs after its greeting.
void report_everything(sim_core &core, sim_client &client)
{
    send_list(core, client);
    report_state(core, client);
    report_volume(core, client);
    report_shuffle(core, client);
    report_repeat(core, client);
    report_vids(core, client);
    report_eq(core, client);
    report_effects(core, client);
    report_scrob(core, client);
    if (core.player.clip >= 0)
        report_clip_details(core, client);
}

// ---- playing -----------------------------------------------------------------------------------

void start_clip(sim_core &core, int idx, int subsong)
{
    sim_player &player = core.player;
    player.idx = idx;
    player.clip = player.refs[idx];
    player.subsong = subsong;
    player.pos = 0;
    player.state = state_playing;
    broadcast(core, report_clip);
}

// Takes the files of the current list, in the order the client shows them, as the play list.
void take_play_list(sim_core &core)
{
    sim_player &player = core.player;
    player.count = 0;
    for (int i = 0; i < core.list.count; i++)
        if (!sim_lib_is_dir(core.list.refs[i]))
            player.refs[player.count++] = core.list.refs[i];
}

// Plays the first file of the current list; false when it has none.
bool play_first_file(sim_core &core)
{
    take_play_list(core);
    if (core.player.count == 0)
        return false;
    start_clip(core, 0, 0);
    return true;
}

int random_other_clip(sim_player &player)
{
    player.rng = player.rng * 1103515245u + 12345u;
    if (player.count < 2)
        return 0;
    int pick = (int)((player.rng >> 8) % (unsigned)(player.count - 1));
    return pick >= player.idx ? pick + 1 : pick;
}

void stop_playing(sim_core &core)
{
    core.player.state = state_stopped;
    core.player.pos = 0;
    broadcast(core, report_state);
    broadcast(core, report_time);
}

// A clip ran out: its next sub-song, the same clip again, the next clip, or the end of the list.
void clip_finished(sim_core &core)
{
    sim_player &player = core.player;
    sim_clip clip = sim_lib_clip(player.clip);
    if (player.subsong + 1 < clip.subsongs) {
        player.subsong++;
        player.pos = 0;
        broadcast(core, report_subsong);
    } else if (player.repeat == 2) {
        start_clip(core, player.idx, 0);
    } else if (player.shuffle != 0) {
        start_clip(core, random_other_clip(player), 0);
    } else if (player.idx + 1 < player.count) {
        start_clip(core, player.idx + 1, 0);
    } else if (player.repeat == 1) {
        start_clip(core, 0, 0);
    } else {
        stop_playing(core);
    }
}

void move_to(sim_core &core, int pos)
{
    int duration = sim_lib_clip(core.player.clip).duration;
    core.player.pos = std::clamp(pos, 0, duration > 0 ? duration - 1 : 0);
    broadcast(core, report_time);
}

// ---- commands ----------------------------------------------------------------------------------

void cmd_ehlo(sim_core &core, int slot, const char *arg)
{
    sim_client &client = core.clients[slot];
    client.path_mode = std::clamp(read_decimal(arg), 0, 2);
    client.greeted = true;
    sim_emit(client, "HELLO=%s", sim_version);
    report_everything(core, client);
}

void cmd_quit(sim_core &core, int slot, const char *)
{
    sim_client &client = core.clients[slot];
    sim_emit(client, "COREQUIT=vesk-core-sim says goodbye");
    client.greeted = false;
    client.closing = true;
}

void cmd_next(sim_core &core, int, const char *)
{
    sim_player &player = core.player;
    if (player.clip < 0) {
        play_first_file(core);
        return;
    }
    if (player.subsong + 1 < sim_lib_clip(player.clip).subsongs)
        start_clip(core, player.idx, player.subsong + 1);
    else if (player.shuffle != 0)
        start_clip(core, random_other_clip(player), 0);
    else
        start_clip(core, (player.idx + 1) % player.count, 0);
}

void cmd_prev(sim_core &core, int, const char *)
{
    sim_player &player = core.player;
    if (player.clip < 0)
        return;
    if (player.subsong > 0)
        start_clip(core, player.idx, player.subsong - 1);
    else
        start_clip(core, (player.idx + player.count - 1) % player.count, 0);
}

void cmd_stop(sim_core &core, int, const char *)
{
    if (core.player.clip < 0)
        broadcast(core, report_state);
    else
        stop_playing(core);
}

void cmd_pause(sim_core &core, int, const char *)
{
    sim_player &player = core.player;
    if (player.clip < 0) {
        if (!play_first_file(core))
            broadcast(core, report_state);
        return;
    }
    player.state = player.state == state_playing ? state_paused : state_playing;
    broadcast(core, report_state);
}

void cmd_rwnd(sim_core &core, int, const char *)
{
    if (core.player.clip >= 0)
        move_to(core, core.player.pos - sim_skip_seconds);
}

void cmd_ffwd(sim_core &core, int, const char *)
{
    if (core.player.clip >= 0)
        move_to(core, core.player.pos + sim_skip_seconds);
}

void cmd_seek(sim_core &core, int, const char *arg)
{
    if (core.player.clip >= 0)
        move_to(core, read_decimal(arg));
}

void set_volume(sim_core &core, int vol)
{
    core.player.vol = std::clamp(vol, 0, 100);
    broadcast(core, report_volume);
}

void cmd_vol_down(sim_core &core, int, const char *)
{
    set_volume(core, core.player.vol - sim_volume_step);
}

void cmd_vol_up(sim_core &core, int, const char *)
{
    set_volume(core, core.player.vol + sim_volume_step);
}

void cmd_vols(sim_core &core, int, const char *arg)
{
    set_volume(core, read_decimal(arg));
}

void cmd_shuffle(sim_core &core, int, const char *)
{
    core.player.shuffle = (core.player.shuffle + 1) % 3;
    broadcast(core, report_shuffle);
}

void cmd_repeat(sim_core &core, int, const char *)
{
    core.player.repeat = (core.player.repeat + 1) % 3;
    broadcast(core, report_repeat);
}

void cmd_vids(sim_core &core, int, const char *)
{
    core.player.vids = !core.player.vids;
    broadcast(core, report_vids);
}

void cmd_eq(sim_core &core, int, const char *)
{
    core.player.eq = !core.player.eq;
    broadcast(core, report_eq);
}

void cmd_scrobbler(sim_core &core, int, const char *)
{
    core.player.scrob = !core.player.scrob;
    broadcast(core, report_scrob);
}

void cmd_scroblove(sim_core &core, int slot, const char *)
{
    if (core.player.clip < 0)
        sim_emit(core.clients[slot], "D=nothing to love: no clip loaded");
    else
        sim_emit(core.clients[slot], "D=loved: %s", sim_lib_clip(core.player.clip).title);
}

void cmd_load(sim_core &core, int slot, const char *arg)
{
    int pos = read_decimal(arg);
    int ref = sim_list_at(core.list, pos);
    if (ref < 0) {
        sim_emit(core.clients[slot], "D=nothing at position %d", pos);
    } else if (sim_lib_is_dir(ref)) {
        show_list(core, dir_desc(ref), -1);
    } else {
        take_play_list(core);
        start_clip(core, pos - core.list.dirs, 0);
    }
}

// Copies the text without surrounding blanks; control bytes become "?" so reports stay one line.
void clean_word(const char *text, char *word, size_t cap)
{
    while (*text == ' ' || *text == '\t')
        text++;
    snprintf(word, cap, "%s", text);
    size_t len = strlen(word);
    while (len > 0 && (word[len - 1] == ' ' || word[len - 1] == '\t'))
        word[--len] = '\0';
    for (size_t i = 0; i < len; i++)
        if ((unsigned char)word[i] < 0x20 || word[i] == 0x7f)
            word[i] = '?';
}

void open_path(sim_core &core, int slot, const char *path)
{
    int ref = sim_lib_find(path);
    if (ref < 0) {
        sim_emit(core.clients[slot], "D=not found: %s", path);
    } else if (sim_lib_is_dir(ref)) {
        show_list(core, dir_desc(ref), -1);
    } else {
        show_list(core, dir_desc(sim_lib_parent(ref)), ref);
        take_play_list(core);
        start_clip(core, sim_list_position(core.list, ref) - core.list.dirs, 0);
    }
}

void cmd_load2(sim_core &core, int slot, const char *arg)
{
    char word[sim_word_cap];
    clean_word(arg, word, sizeof word);
    if (word[0] == '\0')
        return;
    if (strchr(word, '/') != nullptr) {
        open_path(core, slot, word);
        return;
    }
    sim_list_desc desc{};
    desc.kind = sim_list_search;
    desc.dir = core.list.desc.dir;
    snprintf(desc.word, sizeof desc.word, "%s", word);
    show_list(core, desc, -1);
}

void cmd_recursive(sim_core &core, int, const char *)
{
    sim_list_desc desc = dir_desc(core.list.desc.dir);
    desc.kind = sim_list_recursive;
    show_list(core, desc, -1);
}

void cmd_go_parent(sim_core &core, int, const char *)
{
    const sim_list_desc &desc = core.list.desc;
    if (desc.kind != sim_list_dir)
        show_list(core, dir_desc(desc.dir), -1);
    else if (desc.dir > 0)
        show_list(core, dir_desc(sim_lib_parent(desc.dir)), desc.dir);
}

void cmd_go_root(sim_core &core, int, const char *)
{
    show_list(core, dir_desc(0), -1);
}

void cmd_loadfav(sim_core &core, int slot, const char *arg)
{
    int n = read_decimal(arg);
    if (n < 0 || n >= sim_fav_slots || !core.fav_set[n]) {
        sim_emit(core.clients[slot], "D=favourite %d is empty", n);
        return;
    }
    sim_list_desc desc = core.favs[n];
    show_list(core, desc, -1);
}

void cmd_setfav(sim_core &core, int slot, const char *arg)
{
    int n = read_decimal(arg);
    if (n < 0 || n >= sim_fav_slots) {
        sim_emit(core.clients[slot], "D=no favourite slot %d", n);
        return;
    }
    core.favs[n] = core.list.desc;
    core.fav_set[n] = true;
    sim_emit(core.clients[slot], "D=favourite %d set", n);
}

using command_fn = void (*)(sim_core &core, int slot, const char *arg);

struct command_def {
    const char *name;
    command_fn run;
};

constexpr command_def command_table[] = {
    {"EHLO", cmd_ehlo},
    {"QUIT", cmd_quit},
    {"LOADFAV", cmd_loadfav},
    {"SETFAV", cmd_setfav},
    {"PREV", cmd_prev},
    {"NEXT", cmd_next},
    {"STOP", cmd_stop},
    {"PAUSE", cmd_pause},
    {"GO_PARENT", cmd_go_parent},
    {"GO_ROOT", cmd_go_root},
    {"RWND", cmd_rwnd},
    {"FFWD", cmd_ffwd},
    {"SEEK", cmd_seek},
    {"LOAD", cmd_load},
    {"LOAD2", cmd_load2},
    {"MAKE_RECURSIVE_LIST", cmd_recursive},
    {"TOGGLE SHUFFLE", cmd_shuffle},
    {"TOGGLE REPEAT", cmd_repeat},
    {"SCROBBLER", cmd_scrobbler},
    {"SCROBLOVE", cmd_scroblove},
    {"TOGGLE VIDS", cmd_vids},
    {"TOGGLE EQ", cmd_eq},
    {"VOLS", cmd_vols},
    {"VOL-", cmd_vol_down},
    {"VOL+", cmd_vol_up},
};
static_assert(std::size(command_table) == 25);

// The argument of line when it is the command name, alone or followed by a blank; else null.
const char *match_command(const char *line, const char *name)
{
    size_t n = strlen(name);
    if (strncmp(line, name, n) != 0)
        return nullptr;
    if (line[n] == '\0')
        return line + n;
    return line[n] == ' ' ? line + n + 1 : nullptr;
}

bool run_effect(sim_core &core, const char *line)
{
    for (const effect_switch &effect : effect_switches) {
        if (match_command(line, effect.command) != nullptr) {
            core.player.effects ^= effect.bit;
            broadcast(core, report_effects);
            return true;
        }
    }
    return false;
}

bool run_line(sim_core &core, int slot, const char *line)
{
    for (const command_def &command : command_table) {
        const char *arg = match_command(line, command.name);
        if (arg != nullptr) {
            command.run(core, slot, arg);
            return true;
        }
    }
    return run_effect(core, line);
}

// One command: the text up to a NUL, without a trailing carriage return or blanks.
void copy_command(const char *text, size_t len, char *line, size_t cap)
{
    size_t n = 0;
    while (n < len && n + 1 < cap && text[n] != '\0')
        n++;
    memcpy(line, text, n);
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == ' ' || line[n - 1] == '\t'))
        n--;
    line[n] = '\0';
}

} // namespace

void sim_core_init(sim_core &core, int big_count)
{
    memset(&core, 0, sizeof core);
    sim_lib_init(std::clamp(big_count, 0, sim_big_max));
    core.player.state = state_stopped;
    core.player.clip = -1;
    core.player.vol = 70;
    core.player.rng = 12345u;
    const char *favourites[] = {"", "C64", "Music", "Amiga/Protracker"};
    for (int n = 0; n < (int)std::size(favourites); n++) {
        core.favs[n] = dir_desc(sim_lib_find(favourites[n]));
        core.fav_set[n] = core.favs[n].dir >= 0;
    }
    if (sim_lib_big_dir() >= 0) {
        core.favs[9] = dir_desc(sim_lib_big_dir());
        core.fav_set[9] = true;
    }
    build_list(core.list, dir_desc(0), -1);
}

int sim_client_open(sim_core &core)
{
    for (int slot = 0; slot < sim_max_clients; slot++) {
        sim_client &client = core.clients[slot];
        if (!client.in_use) {
            memset(&client, 0, sizeof client);
            client.in_use = true;
            client.path_mode = 2;
            return slot;
        }
    }
    return -1;
}

void sim_client_close(sim_core &core, int slot)
{
    if (slot >= 0 && slot < sim_max_clients)
        core.clients[slot].in_use = false;
}

void sim_goodbye(sim_core &core)
{
    for (int slot = 0; slot < sim_max_clients; slot++) {
        sim_client &client = core.clients[slot];
        if (!client.in_use || client.closing)
            continue;
        // The rest of a long listing would keep the goodbye waiting: it is cut short.
        client.stream.active = false;
        cmd_quit(core, slot, "");
    }
}

bool sim_command(sim_core &core, int slot, const char *chunk, size_t len)
{
    if (slot < 0 || slot >= sim_max_clients || !core.clients[slot].in_use)
        return false;
    bool known = false;
    size_t start = 0;
    // A chunk is one command; a peer typing by hand may still send several, one per line.
    while (start < len && !core.clients[slot].closing) {
        const char *newline = (const char *)memchr(chunk + start, '\n', len - start);
        size_t end = newline != nullptr ? (size_t)(newline - chunk) : len;
        char line[512];
        copy_command(chunk + start, end - start, line, sizeof line);
        if (line[0] != '\0' && run_line(core, slot, line))
            known = true;
        start = end + 1;
    }
    return known;
}

void sim_tick(sim_core &core)
{
    if (!sim_is_playing(core))
        return;
    sim_player &player = core.player;
    player.pos++;
    if (player.pos >= sim_lib_clip(player.clip).duration)
        clip_finished(core);
    else
        broadcast(core, report_time);
}

bool sim_is_playing(const sim_core &core)
{
    return core.player.state == state_playing && core.player.clip >= 0;
}

int sim_list_at(const sim_list &list, int pos)
{
    if (pos < 0 || pos >= list.count)
        return -1;
    bool want_dir = pos < list.dirs;
    int nth = want_dir ? pos : pos - list.dirs;
    for (int i = 0; i < list.count; i++) {
        if (sim_lib_is_dir(list.refs[i]) != want_dir)
            continue;
        if (nth-- == 0)
            return list.refs[i];
    }
    return -1;
}

int sim_list_position(const sim_list &list, int ref)
{
    bool is_dir = sim_lib_is_dir(ref);
    int before = is_dir ? 0 : list.dirs;
    for (int i = 0; i < list.count; i++) {
        if (list.refs[i] == ref)
            return before;
        if (sim_lib_is_dir(list.refs[i]) == is_dir)
            before++;
    }
    return -1;
}
