#pragma once

// Reads one key and returns its key_code: -1..-63 an action, 1..255 an unbound key's first byte,
// 0 nothing.
int c_get_key();
// Waits for one key, at most seconds (negative: no limit); -1 on time-out or failure.
int wait_key(int seconds);
