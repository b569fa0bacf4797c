// The compile phase: one compiler command per Fortran, C and C++ source, in that order.
#pragma once

#include <string>
#include <vector>

#include "config/variable_table.h"
#include "phases/command_plan.h"
#include "run/run_state.h"

enum class source_language { fortran, c, cxx };

// The object a source compiles to: the -o name in a compile-only run, else the source's base
// name with ".o", in the current directory.
std::string object_name(const std::string& source, const run_state& run);

// The exact compiler command for one source and its object.
std::string compose_compile_command(source_language language, const std::string& source,
                                    const std::string& object, const run_state& run,
                                    variable_table& table);

// The Fortran compile command of a source with -E in place of "-c" and without "-o OBJECT":
// the same compiler and flags, printing the preprocessed text.
std::string compose_fortran_preprocess_command(const std::string& source, const run_state& run,
                                               variable_table& table);

// What to report for a source whose compiler variable is empty; "" when there is a compiler.
std::string missing_compiler_message(source_language language, const std::string& source,
                                     variable_table& table);

// The compile commands of the run in the order they run in sequence: every Fortran, then C,
// then C++ source. At a source whose compiler variable is empty the list ends with that
// source's refusal.
std::vector<planned_command> plan_compiles(const run_state& run, variable_table& table);

// Compiles every source of the plan, appending each object to obj_files before its command
// runs; stops at the first failure and returns its status (1, after the message, at a refusal).
int compile_phase(run_state& run, const std::vector<planned_command>& plan);

// The sequential compile phase of the run: plan_compiles, then compile_phase.
int compile_phase(run_state& run, variable_table& table);
