#pragma once

#include "base/protocol.h"

void send_quit();
void send_loadfav(int slot);
void send_setfav(int slot);
void send_prev();
void send_next();
void send_stop();
void send_pause();
void send_go_parent();
void send_go_root();
void send_rwnd();
void send_ffwd();
void send_seek(int seconds);
void send_load(int position);
// Sends "LOAD2 %s"; nothing for a null or empty text.
void send_load2(const char *text);
// Without text the bare "MAKE_RECURSIVE_LIST".
void send_make_recursive_list(const char *text = nullptr);
// Both shuffle actions send the core's one shuffle toggle.
void send_toggle_shuffle();
void send_toggle_repeat();
void send_scrobbler();
void send_scroblove();
void send_toggle_vids();
void send_toggle_eq();
// One "TOGGLE ..." line per set bit of the effect mask, lowest bit first.
void send_toggle_effects(int mask);
void send_vols(int percent);
// -3 sends "VOL-", +3 "VOL+", anything else nothing.
void send_vol_step(int step);
// Next path mode (2 -> 0 -> 1 -> 2), then "EHLO %d" with it.
void cycle_fullpath();
// LOAD with the cursor position.
void load_current();
