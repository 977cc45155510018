#include "link/commands.h"
// stand-in until the senders are built
void send_quit() {}
void send_loadfav(int) {}
void send_setfav(int) {}
void send_prev() {}
void send_next() {}
void send_stop() {}
void send_pause() {}
void send_go_parent() {}
void send_go_root() {}
void send_rwnd() {}
void send_ffwd() {}
void send_seek(int) {}
void send_load(int) {}
void send_load2(const char *) {}
void send_make_recursive_list(const char *) {}
void send_toggle_shuffle(int) {}
void send_toggle_repeat() {}
void send_scrobbler() {}
void send_scroblove() {}
void send_toggle_vids() {}
void send_toggle_eq() {}
void send_toggle_effects(int) {}
void send_vols(int) {}
void send_vol_step(int) {}
void cycle_fullpath() {}
void load_current() {}
