#pragma once

// Writes text on the message line as it is (the caller makes it printable), cut at the line's
// width, blanks the rest of the line and paints it in the text style: the one painter of the
// message line, for messages and the now-playing text alike. Nothing before curses has started.
void paint_message_line(const char *text);
