// Make dependency files: each C and C++ source's preprocessor rules, read through a pipe and
// rewritten so that every rule names the pic/ object, the object and the dependency file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "config/variable_table.h"
#include "phases/command_plan.h"
#include "platform/files.h"
#include "run/run_state.h"

// Reads one line; only a line feed ends it and it is not stored. Returns "" at end of file.
std::string read_line(std::FILE* stream);

// The line to write for one line read: when it holds ".o:", its target part becomes
// "pic/O O D" (O the object name after the last '/', D the dependency file written as a make
// target, as the compiler writes O). No line end added.
std::string rewrite_dependency_line(const std::string& line, const std::string& dep_file);

// The command whose standard output holds the rules of one source.
std::string compose_depend_command(bool is_cxx, const std::string& source, const run_state& run,
                                   variable_table& table);

// Copies a dependency command's output into the dependency file, one rewritten line per line
// read, and returns false (file.error set) when the file could not be written in full. With no
// file the output is still read to its end.
bool copy_dependency_rules(std::FILE* output, pending_file& file);

// The message for a dependency file that could not be written.
std::string dependency_file_failure(const pending_file& file);

// The same for output read whole: the same lines, written the same way.
bool copy_dependency_text(const std::string& output, pending_file& file);

// The dependency commands of the run in the order they run in sequence: every C source, then
// every C++ source; each step's output is the dependency file.
std::vector<planned_command> plan_dependencies(const run_state& run, variable_table& table);

// Writes the dependency file of every step of the plan. Returns 0, or the first failure: a
// command's nonzero status, or 1 for a command that could not be started or a file that could
// not be written in full.
int depend_phase(const std::vector<planned_command>& plan);

// The sequential dependency phase of the run: plan_dependencies, then depend_phase.
int depend_phase(const run_state& run, variable_table& table);
