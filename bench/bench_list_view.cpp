// The list view touches only the visible rows: drawing and scrolling cost the same for a list of
// 262144 entries as for one of 100, and a cursor move inside the view repaints two rows.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "conf.h"
#include "screen/listview.h"
#include "screen/style.h"
#include "screen/window.h"

namespace {

std::vector<list_entry> entries;
std::vector<std::string> names;

// An 80x24 curses screen writing to /dev/null, with keys from an idle pipe.
void open_screen()
{
    if (stdscr != nullptr)
        return;
    int keys[2];
    if (pipe(keys) != 0)
        abort();
    FILE *out = fopen("/dev/null", "w");
    FILE *in = fdopen(keys[0], "r");
    SCREEN *screen = newterm("xterm", out, in);
    if (screen == nullptr)
        abort();
    set_term(screen);
    resizeterm(24, 80);
    window_setup();
}

void fill_list(int count)
{
    entries.assign((size_t)count, list_entry{});
    names.resize((size_t)count);
    for (int i = 0; i < count; i++) {
        names[(size_t)i] = "/music/some directory/track number " + std::to_string(i) + ".ogg";
        list_entry &e = entries[(size_t)i];
        e.text[0] = e.text[1] = e.text[2] = names[(size_t)i].data();
        e.type = i % 7 == 0 ? -1 : 0;
        conf.list.index[i] = &e;
    }
    conf.list.dmt = count;
    conf.list.cur = count / 3;
}

void prepare(int count)
{
    open_screen();
    fill_list(count);
    scrollto(count / 2, 1);
}

// Rows of the list area whose cells a call changed: a bold mark in every row's last text column
// survives only where the row was not repainted.
template <typename F> int rows_repainted(F &&call)
{
    int last_column = 2 + conf.lw - 1;
    for (int row = 1; row <= conf.lh; row++)
        mvwaddch(stdscr, row, last_column, '~' | A_BOLD | COLOR_PAIR(style_spare_green));
    call();
    int repainted = 0;
    for (int row = 1; row <= conf.lh; row++) {
        chtype c = mvwinch(stdscr, row, last_column);
        if ((c & A_CHARTEXT) != '~' || PAIR_NUMBER(c) != style_spare_green || !(c & A_BOLD))
            repainted++;
    }
    return repainted;
}

void BM_draw_list(benchmark::State &state)
{
    prepare((int)state.range(0));
    for (auto _ : state)
        draw_list();
    state.counters["rows_repainted"] = rows_repainted([] { draw_list(); });
}

// Jumps between two far-apart positions: every call moves the view and redraws it.
void BM_scrollto_jump(benchmark::State &state)
{
    int count = (int)state.range(0);
    prepare(count);
    int targets[2] = {10, count - 10};
    int next = 0;
    for (auto _ : state) {
        scrollto(targets[next], 0);
        next ^= 1;
    }
    state.counters["rows_repainted"] =
        rows_repainted([&] { scrollto(targets[next], 0); });
}

// Steps the cursor between two neighbouring rows inside the view.
void BM_scrollto_within_view(benchmark::State &state)
{
    int count = (int)state.range(0);
    prepare(count);
    int first = conf.list.top + 3;
    int step = 0;
    for (auto _ : state) {
        scrollto(first + step, 0);
        step ^= 1;
    }
    int top_before = conf.list.top;
    state.counters["rows_repainted"] = rows_repainted([&] { scrollto(first + step, 0); });
    if (conf.list.top != top_before)
        state.SkipWithError("the view moved");
}

} // namespace

BENCHMARK(BM_draw_list)->Arg(100)->Arg(list_capacity);
BENCHMARK(BM_scrollto_jump)->Arg(100)->Arg(list_capacity);
BENCHMARK(BM_scrollto_within_view)->Arg(100)->Arg(list_capacity);

BENCHMARK_MAIN();
