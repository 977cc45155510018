// An emulated terminal for the end-to-end tests: libvterm takes everything the client writes, and
// the tests read the screen back cell by cell, with colours and reverse video. It also keeps what
// would change the user's terminal beyond its cells: the window title, the icon name, the bell,
// screen-wide reverse video. Keys and mouse clicks are encoded by the emulator in the modes the
// client switched on (keypad mode, the mouse protocol), as a real terminal would send them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <vterm.h>

// The colours and reverse flag of one cell; -1 for the terminal's default colour.
struct vt_style {
    int fg = -1;
    int bg = -1;
    bool reverse = false;
    bool operator==(const vt_style &) const = default;
};

// One cell as a test compares it.
struct vt_cell {
    std::string text; // UTF-8 of the character, " " for an empty cell
    vt_style style;
    bool operator==(const vt_cell &) const = default;
};

// A copy of every cell, row by row.
using vt_snapshot = std::vector<std::vector<vt_cell>>;

struct vt_screen {
    VTerm *vt = nullptr;
    VTermScreen *screen = nullptr;
    int rows = 0;
    int cols = 0;
    int input_fd = -1;     // where encoded keys and clicks go (the pty master)
    std::string title;     // the window title last set
    int title_changes = 0;
    std::string icon_name;
    int icon_name_changes = 0;
    int bells = 0;
    bool reverse_screen = false;
    bool altscreen = false;
    int mouse_mode = 0;    // VTERM_PROP_MOUSE_*: what the program asked the terminal to report
    std::string pending;   // an escape sequence cut by the end of a read
    int last_char = -1;    // the graphic character written last, when nothing followed it
};

// Starts an emulated UTF-8 terminal of rows x cols whose encoded input goes to input_fd. The
// terminal gets a title of its own, so that any change to it shows.
void vt_open(vt_screen &term, int rows, int cols, int input_fd);
void vt_close(vt_screen &term);
// Bytes the program wrote to the terminal.
void vt_feed(vt_screen &term, const char *bytes, size_t length);
void vt_resize(vt_screen &term, int rows, int cols);

vt_cell vt_cell_at(const vt_screen &term, int row, int col);
// The characters of a row from column from to column to (inclusive; -1: the last column).
std::string vt_row(const vt_screen &term, int row, int from = 0, int to = -1);
vt_snapshot vt_take_snapshot(const vt_screen &term);
// The whole screen as text, one line per row, for failure messages.
std::string vt_dump(const vt_screen &term);

// A key of the keyboard as the terminal sends it in the current modes.
void vt_key(vt_screen &term, VTermKey key, VTermModifier mod = VTERM_MOD_NONE);
// What the terminal would send for a key in its current modes, without sending it.
std::string vt_key_bytes(vt_screen &term, VTermKey key);
// Text pasted, in one write as a terminal sends it: between the paste markers when the program
// switched bracketed paste on.
void vt_paste(vt_screen &term, const std::string &text);
// A button (1 left, 2 middle, 3 right) pressed or released at a cell (0-based), in the mouse
// protocol the program enabled; nothing is sent while the program has not enabled the mouse.
void vt_mouse_button(vt_screen &term, int row, int col, bool pressed, int button = 1);

// The title the emulated terminal starts with.
constexpr const char *vt_initial_title = "e2e terminal";

// Frame glyphs as libvterm shows the line-drawing characters.
constexpr const char *vt_hline = "\u2500";
constexpr const char *vt_vline = "\u2502";
constexpr const char *vt_ulcorner = "\u250c";
constexpr const char *vt_urcorner = "\u2510";
constexpr const char *vt_llcorner = "\u2514";
constexpr const char *vt_lrcorner = "\u2518";
constexpr const char *vt_ltee = "\u251c";
constexpr const char *vt_rtee = "\u2524";
