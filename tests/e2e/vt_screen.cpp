#include "vt_screen.h"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace {

void append_utf8(std::string &out, uint32_t c)
{
    if (c < 0x80) {
        out += (char)c;
    } else if (c < 0x800) {
        out += (char)(0xC0 | (c >> 6));
        out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += (char)(0xE0 | (c >> 12));
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    } else {
        out += (char)(0xF0 | (c >> 18));
        out += (char)(0x80 | ((c >> 12) & 0x3F));
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    }
}

// Everything the terminal answers or encodes goes to the program at once, like a real one.
void write_to_program(const char *bytes, size_t length, void *user)
{
    vt_screen &term = *(vt_screen *)user;
    size_t done = 0;
    while (term.input_fd >= 0 && done < length) {
        ssize_t n = write(term.input_fd, bytes + done, length - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{term.input_fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

int on_settermprop(VTermProp prop, VTermValue *value, void *user)
{
    vt_screen &term = *(vt_screen *)user;
    switch (prop) {
    case VTERM_PROP_TITLE:
        term.title = value->string != nullptr ? value->string : "";
        term.title_changes++;
        break;
    case VTERM_PROP_ICONNAME:
        term.icon_name = value->string != nullptr ? value->string : "";
        term.icon_name_changes++;
        break;
    case VTERM_PROP_REVERSE:
        term.reverse_screen = value->boolean != 0;
        break;
    case VTERM_PROP_ALTSCREEN:
        term.altscreen = value->boolean != 0;
        break;
    case VTERM_PROP_MOUSE:
        term.mouse_mode = value->number;
        break;
    default:
        break;
    }
    return 1;
}

int on_bell(void *user)
{
    ((vt_screen *)user)->bells++;
    return 1;
}

// libvterm 0.1.4 misreads two sequences that xterm's terminal description uses, so that the
// emulated screen would differ from what an xterm shows: REP ("repeat the last character") sets
// the pending wrap one column early, which pushes the next character onto the next row, and a
// private mode set with several modes ("ESC [ ? 1006 ; 1000 h") applies only the first. Both are
// rewritten into their plain equivalents before libvterm sees them.
std::string normalized_csi(vt_screen &term, const std::string &seq)
{
    char final = seq.back();
    std::string params = seq.substr(2, seq.size() - 3);
    bool digits_only = params.find_first_not_of("0123456789") == std::string::npos;
    if (final == 'b' && digits_only && term.last_char >= 0) {
        int count = params.empty() ? 1 : atoi(params.c_str());
        return std::string((size_t)count, (char)term.last_char);
    }
    if ((final == 'h' || final == 'l') && params.size() > 1 && params[0] == '?' &&
        params.find(';') != std::string::npos) {
        std::string out;
        size_t start = 1;
        while (start <= params.size()) {
            size_t end = params.find(';', start);
            if (end == std::string::npos)
                end = params.size();
            out += "\x1b[?" + params.substr(start, end - start) + final;
            start = end + 1;
        }
        return out;
    }
    return seq;
}

// Passes bytes on, rewriting the sequences above; keeps a sequence cut by the end of the data.
std::string normalized(vt_screen &term, const char *bytes, size_t length)
{
    constexpr size_t longest_sequence = 64;
    std::string out;
    std::string &seq = term.pending;
    for (size_t i = 0; i < length; i++) {
        char c = bytes[i];
        if (seq.empty()) {
            if (c == '\x1b') {
                seq = c;
                continue;
            }
            unsigned char u = (unsigned char)c;
            term.last_char = u >= 0x20 && u < 0x7f ? u : -1;
            out += c;
            continue;
        }
        seq += c;
        bool csi = seq.size() >= 2 && seq[1] == '[';
        if (seq.size() == 2 && !csi) {
            out += seq;
            seq.clear();
            term.last_char = -1;
        } else if (csi && seq.size() > 2 && c >= 0x40 && c <= 0x7e) {
            out += normalized_csi(term, seq);
            seq.clear();
            term.last_char = -1;
        } else if (seq.size() > longest_sequence) {
            out += seq;
            seq.clear();
            term.last_char = -1;
        }
    }
    return out;
}

const VTermScreenCallbacks screen_callbacks = {
    nullptr, nullptr, nullptr, on_settermprop, on_bell, nullptr, nullptr, nullptr,
};

int colour_index(const VTermColor &colour, bool is_default)
{
    if (is_default || !VTERM_COLOR_IS_INDEXED(&colour))
        return -1;
    return colour.indexed.idx;
}

} // namespace

void vt_open(vt_screen &term, int rows, int cols, int input_fd)
{
    term.rows = rows;
    term.cols = cols;
    term.input_fd = input_fd;
    term.vt = vterm_new(rows, cols);
    vterm_set_utf8(term.vt, 1);
    vterm_output_set_callback(term.vt, write_to_program, &term);
    term.screen = vterm_obtain_screen(term.vt);
    vterm_screen_set_callbacks(term.screen, &screen_callbacks, &term);
    vterm_screen_enable_altscreen(term.screen, 1);
    vterm_screen_reset(term.screen, 1);
    std::string set_title = std::string("\x1b]2;") + vt_initial_title + "\x07";
    vt_feed(term, set_title.data(), set_title.size());
}

void vt_close(vt_screen &term)
{
    if (term.vt != nullptr)
        vterm_free(term.vt);
    term.vt = nullptr;
    term.screen = nullptr;
    term.input_fd = -1;
}

void vt_feed(vt_screen &term, const char *bytes, size_t length)
{
    std::string clean = normalized(term, bytes, length);
    vterm_input_write(term.vt, clean.data(), clean.size());
    vterm_screen_flush_damage(term.screen);
}

void vt_resize(vt_screen &term, int rows, int cols)
{
    term.rows = rows;
    term.cols = cols;
    vterm_set_size(term.vt, rows, cols);
}

vt_cell vt_cell_at(const vt_screen &term, int row, int col)
{
    vt_cell out;
    VTermScreenCell cell{};
    VTermPos pos{row, col};
    if (row < 0 || col < 0 || row >= term.rows || col >= term.cols ||
        !vterm_screen_get_cell(term.screen, pos, &cell)) {
        out.text = "";
        return out;
    }
    if (cell.chars[0] == 0 || cell.chars[0] == (uint32_t)-1)
        out.text = cell.chars[0] == 0 ? " " : "";
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0 &&
                    cell.chars[i] != (uint32_t)-1;
         i++)
        append_utf8(out.text, cell.chars[i]);
    out.style.fg = colour_index(cell.fg, VTERM_COLOR_IS_DEFAULT_FG(&cell.fg));
    out.style.bg = colour_index(cell.bg, VTERM_COLOR_IS_DEFAULT_BG(&cell.bg));
    out.style.reverse = cell.attrs.reverse != 0;
    return out;
}

std::string vt_row(const vt_screen &term, int row, int from, int to)
{
    if (to < 0 || to >= term.cols)
        to = term.cols - 1;
    std::string text;
    for (int col = from; col <= to; col++)
        text += vt_cell_at(term, row, col).text;
    return text;
}

vt_snapshot vt_take_snapshot(const vt_screen &term)
{
    vt_snapshot shot((size_t)term.rows);
    for (int row = 0; row < term.rows; row++)
        for (int col = 0; col < term.cols; col++)
            shot[(size_t)row].push_back(vt_cell_at(term, row, col));
    return shot;
}

std::string vt_dump(const vt_screen &term)
{
    std::string text;
    for (int row = 0; row < term.rows; row++) {
        char number[16];
        snprintf(number, sizeof number, "%3d|", row);
        text += number + vt_row(term, row) + "|\n";
    }
    return text;
}

void vt_key(vt_screen &term, VTermKey key, VTermModifier mod)
{
    vterm_keyboard_key(term.vt, key, mod);
}

std::string vt_key_bytes(vt_screen &term, VTermKey key)
{
    // Without a callback libvterm keeps its output for vterm_output_read.
    vterm_output_set_callback(term.vt, nullptr, nullptr);
    vterm_keyboard_key(term.vt, key, VTERM_MOD_NONE);
    char bytes[64];
    size_t length = vterm_output_read(term.vt, bytes, sizeof bytes);
    vterm_output_set_callback(term.vt, write_to_program, &term);
    return std::string(bytes, length);
}

void vt_paste(vt_screen &term, const std::string &text)
{
    char marker[16];
    vterm_output_set_callback(term.vt, nullptr, nullptr);
    vterm_keyboard_start_paste(term.vt);
    std::string bytes(marker, vterm_output_read(term.vt, marker, sizeof marker));
    bytes += text;
    vterm_keyboard_end_paste(term.vt);
    bytes.append(marker, vterm_output_read(term.vt, marker, sizeof marker));
    vterm_output_set_callback(term.vt, write_to_program, &term);
    write_to_program(bytes.data(), bytes.size(), &term);
}

void vt_mouse_button(vt_screen &term, int row, int col, bool pressed, int button)
{
    vterm_mouse_move(term.vt, row, col, VTERM_MOD_NONE);
    vterm_mouse_button(term.vt, button, pressed, VTERM_MOD_NONE);
}
