// The texts of the status panel, built without curses into caller buffers that are always
// terminated.
#pragma once

#include <cstddef>

#include "conf.h"

// Elapsed " mmm:ss", remaining "-mmm:ss" (when asked for and the duration allows), or the blank
// form "    :  " when the position is unknown.
void format_time(char *buf, size_t size, float s_cur, float s_dur, int remaining_mode);
// "mmm:ss" of the duration, or "   :  " when there is none.
void format_total_time(char *buf, size_t size, float s_dur);
// " <rate> <bit rate or sub-song pair> <channels> ".
void format_audio(char *buf, size_t size, int freq, int bitrate, int chan);
// The seven effect letters "KORCWFE", a blank for every switch that is off.
void format_effects(char (&letters)[8], int effects, int eq);
char shuffle_letter(int shuffle);
char repeat_letter(int repeat);
// Two-character symbol of a play state; nullptr for a state without one.
const char *state_symbol(int state);
// "title - artist (year, album, comment)" from the tags present; empty when there are none.
void format_now_playing(char *buf, size_t size, const player_state &player);
