// Where the client's screen elements sit on the emulated terminal, so that tests read them by
// name: the frame, the list rows, the message line and the fields of the status rows.
#pragma once

#include <string>

#include "vt_screen.h"

// The first cell of the frame or of the status labels (from 78 columns on, where nothing overlaps
// them) that is not what it should be, described for a failure message; "" when all is intact.
std::string frame_problem(const vt_screen &term);

// List row i (0 is the first, on screen row 1): columns 2..cols-3 without trailing blanks.
std::string list_text(const vt_screen &term, int i);
// The message line's text: columns 5..cols-3 without trailing blanks.
std::string message_text(const vt_screen &term);
// The play-state symbol, two columns on the message line.
std::string state_symbol(const vt_screen &term);
// The elapsed (or remaining) time, seven columns on the status row.
std::string time_field(const vt_screen &term);
// The total time inside the brackets of the status row.
std::string total_time_field(const vt_screen &term);
// Rate, bit rate and channels: the twenty columns from column 19 of the status row.
std::string format_field(const vt_screen &term);
// The volume number, three columns left of the "%".
std::string volume_field(const vt_screen &term);
// The volume bar with its brackets on the bottom row.
std::string volume_bar(const vt_screen &term);

std::string without_trailing_blanks(std::string text);
