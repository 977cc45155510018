// The now-playing file, "<tmp_dir>/vesk-<user>/vesk-now-playing.txt", for other programs to read.
#pragma once

// Replaces the file's contents with text (no terminator, no line end). Written only into an
// existing directory of ours that nobody else can write to, never through a link, and only to
// a plain file; otherwise nothing happens.
void write_now_playing_file(const char *text);
