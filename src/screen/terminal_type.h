#pragma once

// Whether the terminal type in TERM is known and can position the cursor, which every screen
// element needs; when it cannot, says so on standard error.
bool terminal_type_usable();
