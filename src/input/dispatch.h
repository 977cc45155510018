#pragma once

// Carries out the action of one key_code.
void check_key(int key_code);
void cursor_up();
void cursor_down();
void page_up();
void page_down();
void cursor_top();
void cursor_bottom();
