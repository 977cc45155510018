#pragma once

// Shows the help screen in the list area, or the list again when it is shown.
void draw_help();
// Shows the clip-info screen in the list area, or the list again when it is shown.
void draw_info();
