// The colour styles: style n is colour pair n with its attribute conf.attr[n], named by use.
// window.cpp's colour table makes them.
#pragma once

enum style : int {
    style_end = 1,              // the background left behind at the end
    style_screen = 2,           // the running screen: frame, title, clock, bars, buttons
    style_status = 3,           // the message and status rows; the info screen
    style_text = 4,             // message text, status fields, the blank list area
    style_file = 5,             // a file; the help screen
    style_file_cursor = 6,      // a file under the cursor
    style_playing = 7,          // the playing file
    style_playing_cursor = 8,   // the playing file under the cursor
    style_dir = 9,              // a directory
    style_dir_cursor = 10,      // a directory under the cursor
    style_spare_white = 11,     // made, never drawn with
    style_spare_green = 12,     // made, never drawn with

    style_help = style_file,
    style_info = style_status,
};

constexpr int style_count = 12;
