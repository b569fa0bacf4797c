// The product's name, fixed right after the command-line walk.
#pragma once

#include "run/run_state.h"

// Module mode: target_file becomes the module name (the -o name with the extension added unless
// it already ends with it, else the first file's base name with the extension). Stand-alone
// mode: ld_output_option becomes "-o NAME" when a name was given.
void setup_output_names(run_state& run);
