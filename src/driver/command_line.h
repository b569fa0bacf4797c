// The single walk over the command line: file arguments sorted by suffix, options folded into
// the record of the run or into the variable table, and the options that end the run at once.
#pragma once

#include "run/run_state.h"

// Walks argv[1] .. argv[argc-1] once; an argument "@FILE" that no rule takes brings in the
// arguments that FILE holds, where it stood. When an argument ends the run (-p VAR, a help
// request, an unrecognised argument, an argument file that cannot be read) run_ended is set
// and the run's status is returned; otherwise the result is 0 and the phases follow.
int walk_command_line(int argc, const char* const* argv, run_state& run, bool& run_ended);
