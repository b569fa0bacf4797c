// Whether the program's own streams reach a terminal, one implementation per platform.
#pragma once

// True when standard error is a terminal (a console window on Windows).
bool standard_error_is_terminal();
