// The one global record of the client and its sub-records. Every piece of run-time state lives
// here for the whole run; the subsystems are free functions over it.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <termios.h>

constexpr const char *program_version = "0.1";

constexpr int action_count = 64;        // rows of key_table, 0 being the null action
constexpr int key_name_capacity = 8;    // a bound key: 7 characters and the terminator
constexpr int display_name_capacity = 24;
constexpr int list_capacity = 262144;   // entries the index can address
constexpr int click_region_count = 28;
constexpr int rx_capacity = 4096;
constexpr int rx_fill_limit = 4092;     // leaves room for the terminator after the data

// Everything the core has reported.
struct player_state {
    float s_cur;
    float s_dur;
    int state;
    int shuffle;
    int repeat;
    int scrob;
    int vol;
    int freq;
    int bitrate;
    int chan;
    int eq;
    int effects;
    char title[40];
    char artist[40];
    char album[40];
    char genre[16];
    char year[8];
    char comment[40];
    char core_version[40];
    char list_name[256];
    time_t list_t0;
    int list_last;
};

struct list_entry {
    char *text[3];      // one text per path mode; all three share one allocation
    int type;           // negative: directory; otherwise the number of the player
    list_entry *next;
    list_entry *prev;
};

// The current directory or play list: directories before files, in arrival order.
struct entry_list {
    list_entry *dir_head;
    list_entry *dir_tail;
    list_entry *file_head;
    list_entry *file_tail;
    int dmt;    // loading: directories so far; ready: all entries
    int fmt;    // loading: files so far; ready: 0
    int refused; // entries of the list being loaded that did not fit into the index
    int cur;    // entry the core plays
    int pos;    // cursor
    int top;    // first visible position; -2 help screen, -3 info screen
    list_entry *index[list_capacity];
};

// The one TCP connection to the core.
struct link_state {
    int sock;
    int disconnected;
    char say_buf[259];
    char rxbuf[rx_capacity];
    char carry[rx_capacity];
    int carry_len;
    char failure[128];  // why the connection attempt failed, for the message line
    int stream_ended;   // the core ended or broke the stream without COREQUIT: not watched since
    int skipping_line;  // the rest of a line longer than the buffer is being thrown away
};

struct log_state {
    FILE *file;
    int pid;
    timespec start;
};

// Processor counters of /proc/stat: user, nice, system, idle, iowait, irq, softirq.
struct cpu_sample {
    uint64_t ticks[7];
};

struct cpu_state {
    cpu_sample prev;
    cpu_sample cur;
    int cpu_load;
};

struct click_region {
    int code;
    int x1, x2;
    int y1, y2;
};

// Frame characters as curses character words (chtype), chosen once at start.
struct glyph_set {
    unsigned ulcorner, urcorner, llcorner, lrcorner;
    unsigned ltee, rtee;
    unsigned vline, hline;
    unsigned thumb;
};

struct list_view_state {
    int last_top;
    int last_pos;
    int thumb_row;
};

// Signals as their handlers leave them for the waits to act on, and the self-pipe through which
// they wake any wait: a signal between a check of the flags and the wait still ends the wait.
struct signal_state {
    volatile sig_atomic_t resize_pending;
    volatile sig_atomic_t continued;    // the process ran on after a stop
    volatile sig_atomic_t fatal;        // SIGINT, SIGTERM or SIGQUIT; 0 while none came
    volatile sig_atomic_t hangup;       // SIGHUP: the terminal is gone or going
    int wake[2];                        // read and write end, valid once wake_ready is 1
    int wake_ready;
    char terminal_reset[128];           // what puts the terminal back, for the crash handler
    int terminal_reset_length;
};

struct conf_record {
    // settings
    int debug;
    int quit;
    int lineart;
    int fullpath;
    int timeremaining_mode;
    char key_names[action_count][display_name_capacity];
    int remote_port;
    char remote_host[256];
    char conf_path[256];
    int conf_path_ok;           // 0 when HOME could not give a usable path: nothing is saved
    int save_error;             // errno of the call that made the last save fail; 0 if none
    int conf_read_error;        // errno that kept the file there from being read whole; 0 if
                                // none. Such a file is never saved over.
    char keys[action_count][key_name_capacity];
    int argc;
    char **argv;

    // main loop
    int frame;
    int pause_due;              // the next pass pauses before its wait: this one got no bytes
    void (*loop_pause)();       // stands in for the pause where set (tests count the pauses)
    signal_state signals;

    // layout
    int lines, cols, lw, lh;
    unsigned attr[13];
    glyph_set glyphs;
    termios saved_termios[3];
    int termios_saved[3];       // 1 where saved_termios holds the settings of that descriptor
    char message[256];
    // The terminal's switches of bracketed paste, empty where its description has none, and the
    // stream of the screen they are written to (curses writes its own output apart).
    char paste_on[32];
    char paste_off[32];
    int paste_end_length;       // bytes of the marker that ends a paste; 0 without one
    FILE *terminal_out;
    char now_playing[256];      // the text this run last wrote to the now-playing file
    int now_playing_written;    // 1 when that write succeeded: the file holds now_playing
    click_region click_regions[click_region_count];
    list_view_state view;

    // directory for the debug log and the now-playing directory; empty means "/tmp"
    char tmp_dir[256];

    player_state player;
    entry_list list;
    link_state link;
    log_state log;
    cpu_state cpu;
};

extern conf_record conf;
