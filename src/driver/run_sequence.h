// The order of one run after the table is filled: usage and version exits, the walk, the
// post-walk steps, then dependency files or compile and link.
#pragma once

#include "run/run_state.h"

// The walk over argv and the post-walk steps (MEX debug define, output names). When the walk
// ends the run (-p VAR, a help request, an unrecognised argument) run_ended is set and the
// run's status is returned; otherwise the result is 0 and the phases may follow.
int prepare_run(int argc, const char* const* argv, run_state& run, bool& run_ended);

// Returns the exit status of the run.
int run_zrvbuild(int argc, const char* const* argv);
