// The order of one run after the table is filled: usage and version exits, the walk, the
// post-walk steps, then dependency files or compile and link.
#pragma once

// Returns the exit status of the run.
int run_zrvbuild(int argc, const char* const* argv);
