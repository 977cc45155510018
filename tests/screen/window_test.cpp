#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "base/log.h"
#include "base/text.h"
#include "event/events.h"
#include "screen/help.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/window.h"
#include "screen_fixture.h"

namespace {

using WindowTest = screen_test;

chtype glyph_cell(int y, int x)
{
    return mvwinch(stdscr, y, x) & (A_CHARTEXT | A_ALTCHARSET);
}

chtype glyph_of(chtype g)
{
    return g & (A_CHARTEXT | A_ALTCHARSET);
}

std::vector<std::string> whole_screen()
{
    std::vector<std::string> rows;
    for (int y = 0; y < LINES; y++)
        rows.push_back(screen_row(y));
    return rows;
}

// Rows of the 80x24 screen of a fresh client that are the same whatever the time and the load.
void expect_ascii_frame(char top, char lower_left, char lower_right, char tee)
{
    std::string top_row = screen_row(0);
    EXPECT_EQ(top_row[0], top);
    EXPECT_EQ(top_row[79], top);
    EXPECT_EQ(top_row.substr(1, 38), std::string(38, '-'));
    EXPECT_EQ(top_row[39], tee);  // an empty title: the two tees side by side in the middle
    EXPECT_EQ(top_row[40], tee);
    EXPECT_EQ(top_row.substr(41, 23), std::string(23, '-'));
    EXPECT_EQ(top_row[64], '[');  // clock
    EXPECT_EQ(top_row[67], ':');
    EXPECT_EQ(top_row[70], ']');
    EXPECT_EQ(top_row[72], '[');  // processor load, over the quit button
    EXPECT_EQ(top_row.substr(76, 2), "%]");
    EXPECT_EQ(screen_row(1), "|" + std::string(77, ' ') + "/|");
    EXPECT_EQ(screen_row(2), "|" + std::string(77, ' ') + "=|");
    for (int y = 3; y <= 17; y++)
        EXPECT_EQ(screen_row(y), "|" + std::string(78, ' ') + "|") << "row " << y;
    EXPECT_EQ(screen_row(18), "|" + std::string(77, ' ') + "=|");
    EXPECT_EQ(screen_row(19), "|" + std::string(77, ' ') + "\\|");
    EXPECT_EQ(screen_row(20), std::string(1, lower_left) + std::string(41, '-') + "[" +
                                  std::string(33, '-') + "]--" + lower_right);
    EXPECT_EQ(screen_row(21), "  ><" + std::string(76, ' '));
    EXPECT_EQ(screen_row(22), "     0:00 [   :  ]  --___   --/--  --__  "
                              "Eff [       ]  Shf [ ]  Rep [ ]    0%  ");
    EXPECT_EQ(screen_row(23), std::string(1, lower_left) + "- |<  |>  []  >|  ^^ - <<  >> - ..  MR " +
                                  std::string(19, '-') + "[-----------]- -  + " + lower_right);
}

TEST_F(WindowTest, AsciiFramesByLineart)
{
    conf.lineart = 1;
    open_test_screen(24, 80);
    expect_ascii_frame('.', '`', '\'', '+');
    close_test_screen();

    reset_conf();
    conf.lineart = 2;
    open_test_screen(24, 80);
    expect_ascii_frame('+', '+', '+', '+');
}

TEST_F(WindowTest, LineDrawingFrameForZeroAndNegativeLineart)
{
    for (int lineart : {0, -3}) {
        reset_conf();
        conf.lineart = lineart;
        open_test_screen(24, 80);
        EXPECT_EQ(glyph_cell(0, 0), glyph_of(ACS_ULCORNER));
        EXPECT_EQ(glyph_cell(0, 79), glyph_of(ACS_URCORNER));
        EXPECT_EQ(glyph_cell(0, 1), glyph_of(ACS_HLINE));
        EXPECT_EQ(glyph_cell(0, 39), glyph_of(ACS_RTEE));
        EXPECT_EQ(glyph_cell(0, 40), glyph_of(ACS_LTEE));
        EXPECT_EQ(glyph_cell(10, 0), glyph_of(ACS_VLINE));
        EXPECT_EQ(glyph_cell(10, 79), glyph_of(ACS_VLINE));
        EXPECT_EQ(glyph_cell(20, 0), glyph_of(ACS_LLCORNER));
        EXPECT_EQ(glyph_cell(20, 79), glyph_of(ACS_LRCORNER));
        EXPECT_EQ(glyph_cell(20, 30), glyph_of(ACS_HLINE));
        EXPECT_EQ(glyph_cell(23, 0), glyph_of(ACS_LLCORNER));
        EXPECT_EQ(glyph_cell(23, 79), glyph_of(ACS_LRCORNER));
        EXPECT_EQ(glyph_cell(23, 50), glyph_of(ACS_HLINE));
        EXPECT_EQ(conf.glyphs.thumb, (unsigned)'#');
        close_test_screen();
    }
}

TEST_F(WindowTest, ColoursOfTheRowsAndTheLayoutFields)
{
    open_test_screen(30, 100);
    EXPECT_EQ(conf.lines, 30);
    EXPECT_EQ(conf.cols, 100);
    EXPECT_EQ(conf.lw, 96);
    EXPECT_EQ(conf.lh, 25);
    EXPECT_EQ(conf.attr[6], (unsigned)A_REVERSE);
    EXPECT_EQ(conf.attr[8], (unsigned)A_REVERSE);
    EXPECT_EQ(conf.attr[5], (unsigned)A_NORMAL);
    short fg, bg;
    pair_content(7, &fg, &bg);
    EXPECT_EQ(fg, COLOR_WHITE);
    EXPECT_EQ(bg, COLOR_BLUE);
    pair_content(9, &fg, &bg);
    EXPECT_EQ(fg, COLOR_YELLOW);
    pair_content(12, &fg, &bg);
    EXPECT_EQ(fg, COLOR_GREEN);
    EXPECT_EQ(cell_pair(0, 0), 2);     // frame in the screen background
    EXPECT_EQ(cell_pair(5, 1), 2);
    EXPECT_EQ(cell_pair(27, 4), 3);    // message row
    EXPECT_EQ(cell_pair(27, 5), 3);
    set_message("x");
    EXPECT_EQ(cell_pair(27, 4), 3);
    EXPECT_EQ(cell_pair(27, 5), 4);    // message text
    EXPECT_EQ(cell_pair(28, 30), 4);   // audio format field
    EXPECT_EQ(cell_pair(28, 65), 3);   // status label
    EXPECT_EQ(cell_pair(28, 66), 2);   // effect letters
    EXPECT_EQ(cell_attrs(28, 66), (attr_t)conf.attr[4]);
    EXPECT_EQ(cell_pair(29, 5), 2);    // buttons
    EXPECT_EQ(cell_pair(10, 40), 4);   // blank list area
}

TEST_F(WindowTest, MessageLineCutsClearsAndHonoursTheLevel)
{
    open_test_screen(24, 80);
    set_message("hello");
    EXPECT_EQ(screen_row(21, 5, 79), "hello" + std::string(70, ' '));
    std::string longer(100, 'x');
    set_message(longer.c_str());
    EXPECT_EQ(screen_row(21, 5, 77), std::string(73, 'x'));
    EXPECT_EQ(screen_row(21, 78, 79), "  ");
    set_message("hi");
    EXPECT_EQ(screen_row(21, 5, 79), "hi" + std::string(73, ' '));
    for (int x = 5; x <= 77; x++)
        ASSERT_EQ(cell_pair(21, x), 4) << "column " << x;
    EXPECT_STREQ(conf.message, "hi");

    draw_message(3, "hidden");  // above the debug level
    EXPECT_EQ(screen_row(21, 5, 10), "hi    ");
    conf.debug = 3;
    draw_message(3, "shown");
    EXPECT_EQ(screen_row(21, 5, 10), "shown ");
    EXPECT_STREQ(conf.message, "hi");  // only set_message stores

    set_message(std::string(300, 'y').c_str());
    EXPECT_EQ(strlen(conf.message), 255u);
    set_message(conf.message);  // its own buffer
    EXPECT_EQ(strlen(conf.message), 255u);
}

TEST_F(WindowTest, MessagesAreLoggedUnlessEmptyOrAboveTheLevel)
{
    start_log(3);
    draw_message(3, "first text");
    draw_message(4, "second text");
    draw_message(0, "");
    set_message("third text");
    show_message("fourth text");
    EXPECT_STREQ(conf.message, "fourth text");
    std::string text = log_text();
    EXPECT_NE(text.find("] first text\n"), std::string::npos);
    EXPECT_EQ(text.find("second text"), std::string::npos);
    EXPECT_NE(text.find("] third text\n"), std::string::npos);
    EXPECT_EQ(text.find("fourth text"), std::string::npos) << "show_message writes no log line";
    EXPECT_EQ(text.find("] \n"), std::string::npos);
}

TEST_F(WindowTest, ResizeSignalOnlyLeavesANoteAndWakesTheNextWait)
{
    open_test_screen(24, 80);
    resizeterm(30, 100);
    raise(SIGWINCH);
    EXPECT_EQ(conf.signals.resize_pending, 1);
    EXPECT_EQ(conf.cols, 80);  // nothing redrawn inside the handler
    // The signal came before the wait: the wait still ends at once and redraws.
    timeval limit{5, 0};
    input_wait woken = wait_for_input(-1, &limit);
    EXPECT_TRUE(woken.redrawn);
    EXPECT_FALSE(woken.terminal);
    EXPECT_EQ(conf.signals.resize_pending, 0);
    EXPECT_EQ(conf.lines, 30);
    EXPECT_EQ(conf.cols, 100);
    EXPECT_EQ(glyph_cell(29, 99), glyph_of(ACS_LRCORNER));
    timeval none{0, 0};
    EXPECT_FALSE(wait_for_input(-1, &none).redrawn);  // no note: nothing happens
}

template <size_t n> void fill_text(char (&field)[n], char c)
{
    memset(field, c, n - 1);
    field[n - 1] = '\0';
}

// Every element at every small size and at a few extreme ones, with every text at its capacity:
// under the sanitizers, any index or pointer computed from a width or height below zero shows.
TEST_F(WindowTest, EverySizeDrawsEveryElementWithinTheScreen)
{
    conf.lineart = 2;
    player_state &p = conf.player;
    for (auto *text : {&p.title, &p.artist, &p.album, &p.comment, &p.core_version})
        fill_text(*text, 'T');
    fill_text(p.year, 'Y');
    fill_text(p.list_name, 'L');
    fill_text(conf.message, 'M');
    for (int i = 0; i < 3; i++)
        add(std::string(1000, 'a' + i), i - 1);
    conf.list.cur = 1;
    std::vector<std::pair<int, int>> sizes{{2, 300}, {100, 2}};
    for (int rows = 1; rows <= 10; rows++)
        for (int cols = 1; cols <= 12; cols++)
            sizes.emplace_back(rows, cols);
    open_test_screen(1, 1);
    for (auto [rows, cols] : sizes) {
        resize_test_screen(rows, cols);
        scrollto(2, 0);
        show_now_playing();
        for (void (*screen)() : {draw_help, draw_help, draw_info, draw_info})
            screen();
        set_message(conf.message);
        // Where the list has rows, the screens gave them back.
        if (rows >= 8 && cols >= 5) {
            ASSERT_EQ(screen_row(1, 2, 2), "a") << rows << "x" << cols;
        }
    }
}

TEST_F(WindowTest, ResizeLeavesNothingOfTheOldSize)
{
    conf.lineart = 1;
    open_test_screen(30, 100);
    resize_test_screen(24, 80);
    expect_ascii_frame('.', '`', '\'', '+');
    resize_test_screen(30, 100);
    EXPECT_EQ(screen_row(23, 0, 5), "|     ");  // the old bottom line is gone
    EXPECT_EQ(screen_row(29, 0, 0), "`");
    EXPECT_EQ(screen_row(27, 0, 5), "  ><  ");
}

TEST_F(WindowTest, TinyTerminalsDrawNothingOutsideAndGrowBack)
{
    conf.lineart = 1;
    fill(40);
    conf.player.s_dur = 100;
    conf.player.s_cur = 50;
    zt_strncpy(conf.player.list_name, "a title that is far too long for any of these sizes", 255);
    zt_strncpy(conf.player.title, "T", 39);
    open_test_screen(24, 80);
    scrollto(0, 1);
    std::vector<std::string> normal = whole_screen();
    const int sizes[][2] = {{1, 1}, {1, 80}, {24, 1}, {2, 3}, {4, 4}, {5, 5}, {6, 7}, {7, 30},
                            {9, 52}, {3, 200}, {8, 3}, {8, 4}};
    for (const auto &size : sizes) {
        resize_test_screen(size[0], size[1]);
        EXPECT_EQ(conf.lh, size[0] - 5);
        EXPECT_EQ(conf.lw, size[1] - 4);
        scrollto(39, 0);
        scrollto(0, 1);
        set_message("a message longer than the screen is wide");
        draw_time();
        draw_volume();
        draw_list_title();
        show_now_playing();
        // The message row keeps to its row: nothing spills into the row below.
        if (size[0] >= 3) {
            EXPECT_EQ(screen_row(size[0] - 2, 0, 0), " ") << size[0] << "x" << size[1];
        }
        // Nothing paints over the right border, not even a list area of no width.
        if (size[0] >= 6) {
            EXPECT_EQ(cell_pair(1, size[1] - 1), 2) << size[0] << "x" << size[1];
        }
    }
    resize_test_screen(24, 80);
    scrollto(0, 1);
    EXPECT_EQ(whole_screen().size(), normal.size());
    std::vector<std::string> again = whole_screen();
    for (size_t y = 1; y < again.size(); y++)  // row 0 holds the clock
        EXPECT_EQ(again[y], normal[y]) << "row " << y;
}

TEST_F(WindowTest, DrawingBeforeCursesStartsDoesNothing)
{
    ASSERT_EQ(stdscr, nullptr);
    fill(30);
    zt_strncpy(conf.player.title, "T", 39);
    window_resize();
    draw_frame();
    set_message("kept");
    EXPECT_STREQ(conf.message, "kept");
    draw_list();
    draw_list_highlight(3);
    clear_list_area();
    draw_buttons();
    set_list_title("a title");
    EXPECT_STREQ(conf.player.list_name, "a title");
    draw_time();
    draw_total_time();
    draw_state();
    draw_format();
    draw_effects();
    draw_shuffle();
    draw_repeat();
    draw_volume();
    show_now_playing();
    EXPECT_STREQ(conf.message, "kept");
    // The cursor still moves: the list code relies on it without a screen.
    scrollto(25, 1);
    EXPECT_EQ(conf.list.pos, 25);
    EXPECT_EQ(conf.list.top, 11);
    scrollto(-1, 0);
    EXPECT_EQ(conf.list.pos, 0);
    window_restore();
    EXPECT_EQ(stdscr, nullptr);
}

// Puts the three standard descriptors on three pseudo-terminals for the life of the object.
struct pty_triple {
    int master[3] = {-1, -1, -1};
    int slave[3] = {-1, -1, -1};
    int saved_fd[3] = {-1, -1, -1};

    pty_triple()
    {
        fflush(stdout);
        fflush(stderr);
        winsize size{12, 60, 0, 0};
        for (int fd = 0; fd < 3; fd++) {
            if (openpty(&master[fd], &slave[fd], nullptr, nullptr, &size) != 0)
                abort();
            saved_fd[fd] = dup(fd);
            dup2(slave[fd], fd);
        }
    }
    ~pty_triple()
    {
        fflush(stdout);
        fflush(stderr);
        for (int fd = 0; fd < 3; fd++) {
            dup2(saved_fd[fd], fd);
            close(saved_fd[fd]);
            close(slave[fd]);
            close(master[fd]);
        }
    }
};

TEST_F(WindowTest, StartAndRestoreOnATerminal)
{
    setenv("TERM", "xterm", 1);
    termios before[3];
    termios running;
    termios after[3];
    bool started;
    {
        // Test output would go to the terminals too: only look at the results afterwards.
        pty_triple ptys;
        // Tell the three terminals apart by their erase character.
        for (int fd = 0; fd < 3; fd++) {
            tcgetattr(fd, &before[fd]);
            before[fd].c_cc[VERASE] = (cc_t)(1 + fd);
            tcsetattr(fd, TCSANOW, &before[fd]);
            tcgetattr(fd, &before[fd]);
        }
        window_init();
        started = stdscr != nullptr;
        tcgetattr(1, &running);  // curses sets the modes of the terminal it writes to
        // Changes made behind curses' back are undone as well.
        for (int fd = 0; fd < 3; fd++) {
            termios changed = before[fd];
            changed.c_cc[VERASE] = 9;
            changed.c_lflag &= ~(tcflag_t)ECHO;
            tcsetattr(fd, TCSANOW, &changed);
        }
        window_restore();
        for (int fd = 0; fd < 3; fd++)
            tcgetattr(fd, &after[fd]);
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(conf.lines, 12);
    EXPECT_EQ(conf.cols, 60);
    EXPECT_EQ(running.c_lflag & (ICANON | ECHO), 0u);
    for (int fd = 0; fd < 3; fd++) {
        EXPECT_EQ(after[fd].c_cc[VERASE], (cc_t)(1 + fd)) << "descriptor " << fd;
        EXPECT_EQ(after[fd].c_lflag, before[fd].c_lflag) << "descriptor " << fd;
    }
}

} // namespace
