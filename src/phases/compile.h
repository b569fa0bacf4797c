// The compile phase: one compiler command per Fortran, C and C++ source, in that order.
#pragma once

#include <string>

#include "config/variable_table.h"
#include "run/run_state.h"

enum class source_language { fortran, c, cxx };

// The object a source compiles to: the -o name in a compile-only run, else the source's base
// name with ".o", in the current directory.
std::string object_name(const std::string& source, const run_state& run);

// The exact compiler command for one source and its object.
std::string compose_compile_command(source_language language, const std::string& source,
                                    const std::string& object, const run_state& run,
                                    variable_table& table);

// What to report for a source whose compiler variable is empty; "" when there is a compiler.
std::string missing_compiler_message(source_language language, const std::string& source,
                                     variable_table& table);

// Compiles every source, appending each object to obj_files before its command runs; stops at
// the first failure and returns its status (1 when a compiler variable is empty).
int compile_phase(run_state& run, variable_table& table);
