#include <string>

#include "screen/listview.h"
#include "screen/window.h"
#include "screen_fixture.h"

namespace {

struct ListViewTest : screen_test {
    void SetUp() override
    {
        screen_test::SetUp();
        conf.lineart = 1;
    }

    std::string row_text(int row) { return screen_row(row, 2, 77); }

    std::string padded(const std::string &text) { return text + std::string(76 - text.size(), ' '); }

    int style_of_row(int row) { return cell_pair(row, 2); }

    // A bold mark in the last text column of every list row; a repaint of a row removes it.
    void mark_rows()
    {
        for (int row = 1; row <= conf.lh; row++)
            mvwaddch(stdscr, row, 77, '~' | A_BOLD | COLOR_PAIR(12));
    }

    bool marked(int row)
    {
        chtype c = mvwinch(stdscr, row, 77);
        return (c & A_CHARTEXT) == '~' && PAIR_NUMBER(c) == 12 && (c & A_BOLD);
    }
};

TEST_F(ListViewTest, ScrollingAHundredEntriesInNineteenRows)
{
    fill(100);
    open_test_screen(24, 80);
    ASSERT_EQ(conf.lh, 19);

    scrollto(150, 0);
    EXPECT_EQ(conf.list.pos, 99);
    EXPECT_EQ(conf.list.top, 81);
    EXPECT_EQ(row_text(1), padded("entry 81"));
    EXPECT_EQ(row_text(19), padded("entry 99"));
    EXPECT_EQ(style_of_row(19), 6);
    EXPECT_EQ(cell_attrs(19, 40), (attr_t)A_REVERSE);
    EXPECT_EQ(style_of_row(18), 5);
    EXPECT_EQ(screen_row(17, 78, 78), "#");  // thumb at the end of its track
    EXPECT_EQ(screen_row(0, 78, 78), " ");   // where the thumb was assumed to be

    scrollto(-5, 0);
    EXPECT_EQ(conf.list.pos, 0);
    EXPECT_EQ(conf.list.top, 0);
    EXPECT_EQ(row_text(1), padded("entry 0"));
    EXPECT_EQ(style_of_row(1), 8);  // entry 0 is also the playing one
    EXPECT_EQ(screen_row(3, 78, 78), "#");
    EXPECT_EQ(screen_row(17, 78, 78), " ");

    scrollto(91, 0);
    EXPECT_EQ(conf.list.pos, 91);
    EXPECT_EQ(conf.list.top, 81);
    EXPECT_EQ(row_text(11), padded("entry 91"));
    EXPECT_EQ(style_of_row(11), 6);
    EXPECT_EQ(style_of_row(1), 5);
}

TEST_F(ListViewTest, MovingWithinTheViewRepaintsTwoRows)
{
    fill(100);
    open_test_screen(24, 80);
    scrollto(0, 1);
    mark_rows();
    scrollto(1, 0);
    EXPECT_EQ(conf.list.top, 0);
    for (int row = 1; row <= 19; row++)
        EXPECT_EQ(marked(row), row > 2) << "row " << row;
    EXPECT_EQ(style_of_row(1), 7);
    EXPECT_EQ(style_of_row(2), 6);
    EXPECT_EQ(screen_row(2, 77, 77), "~");  // characters are not rewritten

    // The first move out of the view redraws everything, with the cursor on the middle row.
    mark_rows();
    scrollto(19, 0);
    EXPECT_EQ(conf.list.top, 10);
    for (int row = 1; row <= 19; row++)
        EXPECT_FALSE(marked(row)) << "row " << row;
    EXPECT_EQ(style_of_row(10), 6);

    // An explicit redraw rewrites every row even when the view stays.
    mark_rows();
    scrollto(20, 1);
    EXPECT_EQ(conf.list.top, 10);
    EXPECT_FALSE(marked(5));
}

TEST_F(ListViewTest, EmptyListAndShortList)
{
    open_test_screen(24, 80);
    scrollto(0, 1);
    EXPECT_EQ(conf.list.pos, -1);
    EXPECT_EQ(conf.list.top, 0);
    for (int row = 1; row <= 19; row++) {
        EXPECT_EQ(row_text(row), padded("")) << "row " << row;
        EXPECT_EQ(cell_pair(row, 10), 4);
        EXPECT_EQ(cell_attrs(row, 10), (attr_t)conf.attr[5]);
    }
    EXPECT_EQ(screen_row(0, 78, 78), "#");  // thumb on the top border

    fill(3);
    scrollto(2, 1);
    EXPECT_EQ(conf.list.top, 0);
    EXPECT_EQ(row_text(3), padded("entry 2"));
    EXPECT_EQ(row_text(4), padded(""));
    EXPECT_EQ(screen_row(0, 78, 78), " ");
}

TEST_F(ListViewTest, RowStylesOfDirectoriesFilesAndThePlayingEntry)
{
    add("dir a", -1);
    add("dir b", -1);
    add("file c", 0);
    add("file d", 3);
    add("file e", 0);
    conf.list.cur = 3;
    open_test_screen(24, 80);
    scrollto(0, 1);
    EXPECT_EQ(style_of_row(1), 10);
    EXPECT_EQ(style_of_row(2), 9);
    EXPECT_EQ(style_of_row(3), 5);
    EXPECT_EQ(style_of_row(4), 7);
    EXPECT_EQ(style_of_row(5), 5);
    EXPECT_EQ(cell_pair(4, 77), 7);  // the whole row width
    scrollto(3, 0);
    EXPECT_EQ(style_of_row(4), 8);
    EXPECT_EQ(cell_attrs(4, 2), (attr_t)A_REVERSE);
    EXPECT_EQ(style_of_row(1), 9);
    conf.list.cur = 1;  // a directory at cur keeps the directory colours
    scrollto(1, 1);
    EXPECT_EQ(style_of_row(2), 10);
    EXPECT_EQ(style_of_row(4), 5);
}

TEST_F(ListViewTest, NamesArePrintableAndCut)
{
    add("a\tb\x1b\xc3\xa9z\x7f");
    add(std::string(100, 'n'));
    open_test_screen(24, 80);
    scrollto(0, 1);
    EXPECT_EQ(row_text(1), padded("a?b???z?"));
    EXPECT_EQ(row_text(2), std::string(76, 'n'));
    EXPECT_EQ(screen_row(2, 78, 79), "=|");  // the page-up arrow is still there
}

TEST_F(ListViewTest, PathModes)
{
    list_entry &e = add("short");
    char mid[] = "dir/short";
    char full[] = "/music/dir/short";
    e.text[1] = mid;
    e.text[2] = full;
    open_test_screen(24, 80);
    const char *expected[] = {"short", "dir/short", "/music/dir/short", "short"};
    const int modes[] = {0, 1, 2, 9};
    for (int i = 0; i < 4; i++) {
        conf.fullpath = modes[i];
        draw_list();
        EXPECT_EQ(row_text(1), padded(expected[i])) << "mode " << modes[i];
    }
}

TEST_F(ListViewTest, HiddenListComesBackAndMissingEntriesStayBlank)
{
    fill(50);
    open_test_screen(24, 80);
    conf.list.top = -2;  // the help screen holds the list area
    conf.list.pos = 30;
    mark_rows();
    draw_list();
    EXPECT_EQ(conf.list.top, 21);
    EXPECT_EQ(row_text(10), padded("entry 30"));
    EXPECT_FALSE(marked(3));

    conf.list.top = -3;
    scrollto(31, 0);  // any move redraws the whole list
    EXPECT_EQ(conf.list.top, 22);
    EXPECT_EQ(row_text(1), padded("entry 22"));

    conf.list.index[25] = nullptr;  // not received yet
    scrollto(25, 1);
    EXPECT_EQ(row_text(4), padded(""));
    EXPECT_EQ(row_text(5), padded("entry 26"));
    scrollto(26, 0);  // repainting next to a missing entry is harmless
    EXPECT_EQ(style_of_row(5), 6);
    EXPECT_EQ(cell_pair(4, 2), 4);
}

} // namespace
