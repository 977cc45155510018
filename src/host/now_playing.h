// The now-playing file, "<tmp_dir>/vesk-<user>/vesk-now-playing.txt", for other programs to read.
#pragma once

// Replaces the file with one holding text (no terminator, no line end), by a rename, so that it
// is never seen empty. Written only into an existing directory of ours that nobody else can
// write to, never through a link, and only in place of a plain file; false when nothing was
// written.
bool write_now_playing_file(const char *text);
