#pragma once

// Handles one mouse event; returns an action code for check_key or 0.
int ccm();
// True for the codes of Volume -, Volume +, Page up and Page down, whose buttons act again and
// again while held.
bool repeats_while_held(int code);
// Per-mille of value between low and high, unclamped; 0 when low == high.
void to_promi(int *result, int value, int low, int high);
// Seconds at per-mille promi of duration, in single precision, truncated toward zero and held
// inside the int range (NaN gives 0).
int seek_seconds(int promi, float duration);
