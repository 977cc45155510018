#include "screen/layout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "config/actions.h"

list_view scroll_view_for(int showpos, int top, int lh, int dmt)
{
    list_view view{showpos, top};
    if (view.pos < 0)
        view.pos = 0;
    else if (view.pos >= dmt)
        view.pos = dmt - 1;
    bool visible = top >= 0 && top <= view.pos && top + lh - 1 >= view.pos;
    if (visible)
        return view;
    view.top = view.pos - lh / 2;
    if (view.top + lh > dmt)
        view.top = dmt - lh;
    if (view.top < 0)
        view.top = 0;
    return view;
}

int thumb_row_for(int p, int lh, int dmt)
{
    if (dmt == 0)
        return 0;
    // 64-bit: a long list on a tall terminal would overflow the product.
    return (int)((int64_t)p * (lh - 4) / dmt + 3);
}

int row_style(int type, int p, int pos, int cur)
{
    bool under_cursor = p == pos;
    if (type < 0)
        return under_cursor ? style_dir_cursor : style_dir;
    if (p == cur)
        return under_cursor ? style_playing_cursor : style_playing;
    return under_cursor ? style_file_cursor : style_file;
}

namespace {

// A bound counted from the left or top edge, or from the screen size (cols or lines).
struct edge {
    bool from_size;
    int offset;
};

constexpr edge at(int offset) { return {false, offset}; }
constexpr edge size_minus(int n) { return {true, -n}; }

struct region_rule {
    int code;
    edge x1, x2, y1, y2;
    const char *label_top;     // drawn at (y1, x1)
    const char *label_bottom;  // drawn at (y2, x1)
};

constexpr edge none = at(-1);

// The order decides which rectangle wins where they overlap.
constexpr region_rule region_rules[] = {
    {action_code(action::quit), size_minus(8), size_minus(0), at(0), at(0), "[x]", nullptr},
    {region_list, at(2), size_minus(3), at(1), size_minus(5), nullptr, nullptr},
    {region_seek_bar, at(42), size_minus(4), size_minus(4), size_minus(4), nullptr, nullptr},
    {action_code(action::volume_down),
     size_minus(7), size_minus(5), size_minus(4), size_minus(1), nullptr, " - "},
    {action_code(action::volume_up),
     size_minus(4), size_minus(2), size_minus(4), size_minus(1), nullptr, " + "},
    {region_volume_bar,
     size_minus(21), size_minus(9), size_minus(1), size_minus(1), "[01234567890]", nullptr},
    {region_scroll_bar, size_minus(2), size_minus(1), at(3), size_minus(7), nullptr, nullptr},
    {action_code(action::page_up), size_minus(2), size_minus(1), at(1), at(2), "/", "="},
    {action_code(action::page_down),
     size_minus(2), size_minus(1), size_minus(6), size_minus(5), "=", "\\"},
    {action_code(action::prev), at(2), at(5), size_minus(4), size_minus(1), nullptr, " |< "},
    {action_code(action::pause), at(6), at(9), size_minus(4), size_minus(1), nullptr, " |> "},
    {action_code(action::stop), at(10), at(13), size_minus(4), size_minus(1), nullptr, " [] "},
    {action_code(action::next), at(14), at(17), size_minus(4), size_minus(1), nullptr, " >| "},
    {action_code(action::go_root_menu),
     at(18), at(21), size_minus(4), size_minus(1), nullptr, " ^^ "},
    {action_code(action::rewind), at(23), at(26), size_minus(4), size_minus(1), nullptr, " << "},
    {action_code(action::fast_forward),
     at(27), at(30), size_minus(4), size_minus(1), nullptr, " >> "},
    {action_code(action::go_parent), at(32), at(35), size_minus(4), size_minus(1), nullptr, " .. "},
    {action_code(action::make_recursive_list),
     at(36), at(39), size_minus(4), size_minus(1), nullptr, " MR "},
    {action_code(action::toggle_karaoke),
     size_minus(34), size_minus(34), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_overdrive),
     size_minus(33), size_minus(33), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_reverb),
     size_minus(32), size_minus(32), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_contrast),
     size_minus(31), size_minus(31), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_earwax),
     size_minus(30), size_minus(30), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_flanger),
     size_minus(29), size_minus(29), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_eq),
     size_minus(28), size_minus(28), size_minus(3), size_minus(1), nullptr, nullptr},
    {region_unused, none, none, none, none, nullptr, nullptr},
    {action_code(action::toggle_shuffle),
     size_minus(20), size_minus(18), size_minus(3), size_minus(1), nullptr, nullptr},
    {action_code(action::toggle_repeat),
     size_minus(11), size_minus(9), size_minus(3), size_minus(1), nullptr, nullptr},
};
static_assert(std::size(region_rules) == click_region_count);

static_assert(region_rules[seek_region].code == region_seek_bar);
static_assert(region_rules[volume_region].code == region_volume_bar);

constexpr int seek_first_column = 42;
constexpr int seek_span_limit = 188;  // longest span from the first column
constexpr int seek_span_minimum = 6;  // shorter spans leave no room for a bar

int resolve(edge e, int size)
{
    return e.from_size ? size + e.offset : e.offset;
}

struct field_rule {
    field which;
    edge y, x, width;   // width counted from cols when it follows the size
    int style;
    const char *label;
};

constexpr char time_label[] = "___:__ [___:__] ";
constexpr char flags_label[] = "Eff [_______]  Shf [_]  Rep [_]  ___%";

// The status row's flags label holds the effect letters at cols-34..cols-28, the shuffle letter
// at cols-19, the repeat letter at cols-10 and the volume at cols-6..cols-4.
constexpr field_rule field_rules[] = {
    {field::clock, at(0), size_minus(16), at(7), style_screen, nullptr},
    {field::cpu_load, at(0), size_minus(8), at(6), style_screen, nullptr},
    {field::state, size_minus(3), at(2), at(2), style_text, nullptr},
    {field::message, size_minus(3), at(5), size_minus(7), style_text, nullptr},
    {field::time, size_minus(2), at(2), at(7), style_text, nullptr},
    {field::total_time, size_minus(2), at(11), at(6), style_text, nullptr},
    {field::format, size_minus(2), at(19), at(20), style_text, nullptr},
    // The letters keep the screen's colour pair; draw_effects gives them the text attribute.
    {field::effects, size_minus(2), size_minus(34), at(7), style_screen, nullptr},
    {field::shuffle, size_minus(2), size_minus(19), at(1), style_text, nullptr},
    {field::repeat, size_minus(2), size_minus(10), at(1), style_text, nullptr},
    {field::volume, size_minus(2), size_minus(6), at(3), style_text, nullptr},
    {field::time_label, size_minus(2), at(3), at(sizeof time_label - 1), style_status, time_label},
    {field::flags_label, size_minus(2), size_minus(39), at(sizeof flags_label - 1), style_status,
     flags_label},
    {field::message_row, size_minus(3), at(3), size_minus(5), style_status, nullptr},
    {field::status_row, size_minus(2), at(3), size_minus(5), style_status, nullptr},
};
static_assert(std::size(field_rules) == (size_t)field::status_row + 1);

constexpr bool fields_in_enum_order()
{
    for (size_t i = 0; i < std::size(field_rules); i++)
        if (field_rules[i].which != (field)i)
            return false;
    return true;
}
static_assert(fields_in_enum_order());

// The seek region follows the width, up to a limit, and disappears on narrow screens.
void fit_seek_region(click_region &seek, int cols)
{
    int span = (cols - 4) - seek_first_column;
    if (span > seek_span_limit)
        seek.x2 = seek_first_column + seek_span_limit - 1;
    else if (span < seek_span_minimum)
        seek = {region_unused, -1, -1, -1, -1};
}

} // namespace

void build_click_regions(click_region (&regions)[click_region_count], int lines, int cols)
{
    for (int i = 0; i < click_region_count; i++) {
        const region_rule &rule = region_rules[i];
        regions[i] = {rule.code, resolve(rule.x1, cols), resolve(rule.x2, cols),
                      resolve(rule.y1, lines), resolve(rule.y2, lines)};
    }
    fit_seek_region(regions[seek_region], cols);
}

const char *region_label(int i, bool bottom)
{
    if (i < 0 || i >= click_region_count)
        return nullptr;
    return bottom ? region_rules[i].label_bottom : region_rules[i].label_top;
}

const click_region *region_at(const click_region (&regions)[click_region_count], int x, int y)
{
    for (const click_region &r : regions)
        if (r.code != region_unused && r.x1 <= x && x <= r.x2 && r.y1 <= y && y <= r.y2)
            return &r;
    return nullptr;
}

screen_field field_at(field which, int lines, int cols)
{
    const field_rule &rule = field_rules[(int)which];
    return {resolve(rule.y, lines), resolve(rule.x, cols), resolve(rule.width, cols), rule.style,
            rule.label};
}

title_span title_span_for(int length, int cols)
{
    // Columns 2..cols-3; none at all on a screen narrower than 5 columns.
    int room = std::max(cols - 4, 0);
    if (length <= room)
        return {(cols - length) / 2, length, 0, false};
    int tail = std::max(room - 3, 0);
    return {2, room, length - tail, true};
}

void bar_text(char *buf, size_t size, int width, int value)
{
    if (size == 0)
        return;
    buf[0] = '\0';
    if (width < 1 || size < (size_t)width + 3)
        return;
    buf[0] = '[';
    for (int i = 0; i < width; i++)
        buf[1 + i] = value > 100 * i / width ? '#' : '-';
    buf[width + 1] = ']';
    buf[width + 2] = '\0';
}

int progress_width(const click_region &seek)
{
    if (seek.code != region_seek_bar)
        return 0;
    int width = seek.x2 - seek.x1 - 1;
    if (width <= 4)
        return 0;
    return width > seek_span_limit ? seek_span_limit : width;
}

int progress_percent(float cur, float dur)
{
    if (!(dur > 0))
        return 0;
    return whole_seconds(cur * 100.0f / dur);
}

int whole_seconds(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= (double)INT_MAX)
        return INT_MAX;
    if (v <= (double)INT_MIN)
        return INT_MIN;
    return (int)v;
}
