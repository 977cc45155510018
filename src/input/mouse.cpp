#include "input/mouse.h"

#include <cerrno>
#include <cstdint>
#include <curses.h>
#include <iterator>
#include <unistd.h>

#include "base/log.h"
#include "conf.h"
#include "config/actions.h"
#include "event/events.h"
#include "input/dispatch.h"
#include "input/key_codes.h"
#include "input/keys.h"
#include "link/commands.h"
#include "screen/layout.h"
#include "screen/listview.h"
#include "screen/panel.h"
#include "screen/terminal_type.h"

namespace {

constexpr int held_codes[] = {
    action_code(action::volume_down),
    action_code(action::volume_up),
    action_code(action::page_up),
    action_code(action::page_down),
};
static_assert(std::size(held_codes) == 4);

constexpr int first_hold_pause_us = 200000;
constexpr int hold_settle_us = 10000;
constexpr int hold_poll_us = 90000;

void seek_to_column(const click_region &bar, int x, int y)
{
    int promi = 0;
    to_promi(&promi, x, bar.x1 + 1, bar.x2 - 1);
    int seconds = seek_seconds(promi, conf.player.s_dur);
    send_seek(seconds);
    dlog(8, "ccm: a:%d x:%d y:%d promi:%d st:%d s_cur:%.1f s_dur:%.1f", bar.code, x, y, promi,
         seconds, (double)conf.player.s_cur, (double)conf.player.s_dur);
}

// One press both selects the row and loads it.
void load_row(int y)
{
    entry_list &list = conf.list;
    // While help or clip info covers the list, top is a marker, not a position.
    if (list.top < 0) {
        dlog(8, "ccm: list press ignored, top:%d", list.top);
        return;
    }
    int position = list.top + y - 1;
    if (position < 0 || position >= list.dmt)
        return;
    list.pos = position;
    load_current();
}

void scroll_to_row(const click_region &track, int y)
{
    int promi = 0;
    to_promi(&promi, y, track.y1, track.y2);
    scrollto((int)((int64_t)conf.list.dmt * promi / 1000), 0);
}

void set_volume_at(const click_region &bar, int x)
{
    int promi = 0;
    to_promi(&promi, x, bar.x1 + 1, bar.x2 - 1);
    send_vols(promi / 10);
}

// A key typed during a hold ends it and is not dispatched; an escape goes with what came with
// it, and a paste as any paste.
void drop_hold_key(int key)
{
    if (key == key_paste_start ||
        (key == key_escape && read_escape_tail(false) == escape_tail::paste))
        discard_paste();
}

// Takes the input that came during a hold into ev; true when the hold goes on. Only motion (and
// what curses kept for itself) lets it: the release ends it, and so does any other event or key,
// so that no release read in another form leaves the action repeating.
bool hold_goes_on(MEVENT &ev)
{
    key_read read = read_key_now(true);
    if (read.ended)
        return false;
    if (read.key == KEY_MOUSE) {
        if (getmouse(&ev) != OK)
            ev.bstate = 0;
        return ev.bstate == REPORT_MOUSE_POSITION;
    }
    if (read.key == ERR || read.key == KEY_RESIZE)
        return true;
    drop_hold_key(read.key);
    ev.bstate = 0;
    return false;
}

enum class hold_input { none, some, stop };

// Short wait for more input while a button is held. A redraw stops the hold: leaving curses mode
// for it switched the terminal's mouse reports off for a moment, and after a stop the release may
// have come while they were; curses no longer knows the button is down.
hold_input hold_wait()
{
    usleep(hold_settle_us);
    timeval limit{0, hold_poll_us};
    input_wait wait = wait_for_input(-1, &limit);
    // A vanished terminal never sends the release.
    if (wait.hung_up || wait.redrawn || exit_requested())
        return hold_input::stop;
    // Another signal is no input.
    if (wait.rc < 0 && errno == EINTR)
        return hold_input::none;
    return wait.rc != 0 ? hold_input::some : hold_input::none;
}

// Fires the action on the press, again after a pause and then until the button is released.
void hold_repeat(int code, MEVENT &ev)
{
    int i = 0;
    for (;;) {
        dlog(8, "ccm: mouse down0, i:%d, bstate:0x%x, a:%d", i, (unsigned)ev.bstate, code);
        hold_input input;
        do {
            check_key(code);
            if (i == 0)
                usleep(first_hold_pause_us);
            input = hold_wait();
            i++;
        } while (input == hold_input::none);
        bool goes_on = input == hold_input::some && hold_goes_on(ev);
        dlog(8, "ccm: mouse down, i:%d, bstate:0x%x", i, (unsigned)ev.bstate);
        if (!goes_on) {
            dlog(8, "ccm: mouse up, i:%d, bstate:0x%x", i, (unsigned)ev.bstate);
            return;
        }
    }
}

// released: the release came in the same read as the press, so there is no hold to wait for.
int handle_press(MEVENT &ev, bool released)
{
    const click_region *region = region_at(conf.click_regions, ev.x, ev.y);
    int code = region != nullptr ? region->code : 0;
    dlog(8, "ccm: mouse pressed, bstate:0x%x, a:%d, x:%d, y:%d", (unsigned)ev.bstate, code, ev.x,
         ev.y);
    switch (code) {
    case region_seek_bar:
        seek_to_column(*region, ev.x, ev.y);
        return 0;
    case region_list:
        load_row(ev.y);
        return 0;
    case region_scroll_bar:
        scroll_to_row(*region, ev.y);
        return 0;
    case region_volume_bar:
        set_volume_at(*region, ev.x);
        return 0;
    default:
        break;
    }
    if (repeats_while_held(code)) {
        if (released)
            check_key(code);
        else
            hold_repeat(code, ev);
        return 0;
    }
    return code;
}

void log_other_event(const MEVENT &ev)
{
    dlog(8, "ccm: mouse down, bstate:0x%x (b1:0x%x 0x%x 0x%x)", (unsigned)ev.bstate,
         (unsigned)BUTTON1_CLICKED, (unsigned)BUTTON1_PRESSED, (unsigned)BUTTON1_RELEASED);
}

} // namespace

bool repeats_while_held(int code)
{
    for (int held : held_codes)
        if (held == code)
            return true;
    return false;
}

int ccm()
{
    MEVENT ev;
    if (getmouse(&ev) != OK) {
        dlog(8, "[ccm: !OK]");
        return 0;
    }
    if (ev.bstate & BUTTON1_PRESSED)
        return handle_press(ev, false);
    // A quick tap (or a slow link) can bring press and release in one read: curses then queues
    // both behind one KEY_MOUSE and hands out the newer first. The press is still a click.
    MEVENT press;
    if ((ev.bstate & BUTTON1_RELEASED) && getmouse(&press) == OK && (press.bstate & BUTTON1_PRESSED))
        return handle_press(press, true);
    log_other_event(ev);
    if (ev.bstate & (BUTTON1_RELEASED | BUTTON1_CLICKED))
        return 0;
    if (ev.bstate & BUTTON4_PRESSED)
        check_key(action_code(action::page_up));
    else if (ev.bstate & BUTTON5_PRESSED)
        check_key(action_code(action::page_down));
    return 0;
}

void to_promi(int *result, int value, int low, int high)
{
    if (high == low) {
        dlog(8, "to_promi: invalid input: %d (%d..%d)", value, low, high);
        *result = 0;
        return;
    }
    *result = (int)((int64_t)(value - low) * 1000 / (high - low));
    dlog(8, "to_promi: %d", *result);
}

int seek_seconds(int promi, float duration)
{
    float seconds = (float)promi * duration / 1000.0f;
    return whole_seconds(seconds);
}
