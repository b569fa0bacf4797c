// The link phase: the extension module or the stand-alone executable, then the optional strip.
#pragma once

#include <string>

#include "config/variable_table.h"
#include "run/run_state.h"

std::string compose_module_link_command(const run_state& run, variable_table& table);
std::string compose_stand_alone_link_command(const run_state& run, variable_table& table);

// The file the strip step names: the module, or in stand-alone mode the executable the link
// produced (the -o name as the linker completes it, else the linker's default name); never an
// input file.
std::string strip_target(const run_state& run, const std::string& default_executable_name,
                         const std::string& executable_suffix);

// Links, strips on request, and returns the status that ends the run.
int link_phase(const run_state& run, variable_table& table);
