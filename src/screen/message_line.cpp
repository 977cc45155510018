#include "screen/message_line.h"

#include "conf.h"
#include "screen/layout.h"
#include "screen/paint.h"

void paint_message_line(const char *text)
{
    if (!screen_ready())
        return;
    screen_field line = field_at(field::message, conf.lines, conf.cols);
    int columns = put_text(line.y, line.x, text, line.width);
    // An older, longer text must not show through.
    for (int x = line.x + columns; x < line.x + line.width; x++)
        blank_cell(line.y, x, line.style);
    paint_span(line.y, line.x, line.width, line.style);
    show_screen();
}
