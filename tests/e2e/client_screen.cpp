#include "client_screen.h"

#include <cstdio>

namespace {

// "(row,col) holds [x], not [y]" when the text there differs, else "".
std::string text_problem(const vt_screen &term, int row, int col, const std::string &want)
{
    std::string have = vt_row(term, row, col, col + (int)want.size() - 1);
    if (have == want)
        return "";
    char where[64];
    snprintf(where, sizeof where, "(%d,%d)", row, col);
    return std::string(where) + " holds [" + have + "], not [" + want + "]";
}

std::string glyph_problem(const vt_screen &term, int row, int col, const char *glyph)
{
    std::string have = vt_cell_at(term, row, col).text;
    if (have == glyph)
        return "";
    char where[64];
    snprintf(where, sizeof where, "(%d,%d)", row, col);
    return std::string(where) + " holds [" + have + "], not the frame's [" + glyph + "]";
}

} // namespace

std::string frame_problem(const vt_screen &term)
{
    int lines = term.rows;
    int cols = term.cols;
    struct corner {
        int row, col;
        const char *glyph;
    };
    const corner corners[] = {
        {0, 0, vt_ulcorner},         {0, cols - 1, vt_urcorner},
        {lines - 4, 0, vt_llcorner}, {lines - 4, cols - 1, vt_lrcorner},
        {lines - 1, 0, vt_llcorner}, {lines - 1, cols - 1, vt_lrcorner},
    };
    for (const corner &c : corners) {
        std::string problem = glyph_problem(term, c.row, c.col, c.glyph);
        if (!problem.empty())
            return problem;
    }
    for (int row = 1; row <= lines - 5; row++) {
        for (int col : {0, cols - 1}) {
            std::string problem = glyph_problem(term, row, col, vt_vline);
            if (!problem.empty())
                return problem;
        }
    }
    // Narrower screens overlap the labels with the fields by design.
    constexpr int cols_without_overlap = 78;
    if (cols < cols_without_overlap)
        return "";
    const struct {
        int col;
        const char *text;
    } labels[] = {
        {10, "["}, {17, "]"}, {cols - 39, "Eff ["}, {cols - 27, "]  Shf ["},
        {cols - 18, "]  Rep ["}, {cols - 9, "]  "}, {cols - 3, "%"},
    };
    for (const auto &label : labels) {
        std::string problem = text_problem(term, lines - 2, label.col, label.text);
        if (!problem.empty())
            return problem;
    }
    return "";
}

std::string without_trailing_blanks(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string list_text(const vt_screen &term, int i)
{
    return without_trailing_blanks(vt_row(term, 1 + i, 2, term.cols - 3));
}

std::string message_text(const vt_screen &term)
{
    return without_trailing_blanks(vt_row(term, term.rows - 3, 5, term.cols - 3));
}

std::string state_symbol(const vt_screen &term)
{
    return vt_row(term, term.rows - 3, 2, 3);
}

std::string time_field(const vt_screen &term)
{
    return vt_row(term, term.rows - 2, 2, 8);
}

std::string total_time_field(const vt_screen &term)
{
    return vt_row(term, term.rows - 2, 11, 16);
}

std::string format_field(const vt_screen &term)
{
    return vt_row(term, term.rows - 2, 19, 38);
}

std::string volume_field(const vt_screen &term)
{
    return vt_row(term, term.rows - 2, term.cols - 6, term.cols - 4);
}

std::string volume_bar(const vt_screen &term)
{
    return vt_row(term, term.rows - 1, term.cols - 21, term.cols - 9);
}
