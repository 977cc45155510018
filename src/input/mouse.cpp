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
#include "input/keys.h"
#include "link/commands.h"
#include "screen/layout.h"
#include "screen/listview.h"
#include "screen/panel.h"

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

// Takes the next input event of a hold into ev, once the terminal is readable; false when its
// input has ended.
bool read_hold_event(MEVENT &ev)
{
    key_read read = read_key_now(true);
    if (read.key == KEY_MOUSE && getmouse(&ev) != OK)
        ev.bstate = 0;
    // Any other key only counts as one more step; so does what curses kept for itself.
    return !read.ended;
}

// Short wait for more input while a button is held: the result of select(), 1 after a hang-up.
int hold_wait()
{
    usleep(hold_settle_us);
    timeval limit{0, hold_poll_us};
    input_wait wait = wait_for_input(-1, &limit);
    // A hang-up ends the hold as the end of input does.
    if (wait.hung_up)
        return 1;
    // A signal is no input: it has been acted on (a resize redrawn) and the hold goes on.
    if (wait.rc < 0 && errno == EINTR)
        return 0;
    return wait.rc;
}

// Fires the action on the press, again after a pause and then until the button is released.
void hold_repeat(int code, MEVENT &ev)
{
    int i = 0;
    for (;;) {
        dlog(8, "ccm: mouse down0, i:%d, bstate:0x%x, a:%d", i, (unsigned)ev.bstate, code);
        int ready;
        do {
            check_key(code);
            if (i == 0)
                usleep(first_hold_pause_us);
            ready = hold_wait();
            i++;
        } while (ready == 0);
        // A vanished terminal never sends the release: without this the action would repeat
        // for ever.
        if (exit_requested() || !read_hold_event(ev)) {
            dlog(8, "ccm: input failed, hold ends, i:%d", i);
            return;
        }
        dlog(8, "ccm: mouse down, i:%d, bstate:0x%x", i, (unsigned)ev.bstate);
        if (ev.bstate & BUTTON1_RELEASED) {
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
