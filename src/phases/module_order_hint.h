// After a sequential compile has failed: a Fortran source that uses a module which only a
// source listed after it defines cannot find the module file, which does not exist yet.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "phases/command_plan.h"
#include "phases/fortran_scan.h"

// The line for the failed step of plan, from the scans of its steps: "NAME uses module M, which
// DEFINER (listed later) defines; list DEFINER first or set ZRVBUILD_JOBS", or "" when the
// failure has no such cause. Only what the texts show counts: an opaque scan of the failed
// source gives no line, a module that a source listed before it (or the source itself) defines
// is no cause, and of several causes the line names the first module in the order the source
// uses them and its first definer listed after the source whose scan is not opaque.
std::string module_order_hint(const std::vector<planned_command>& plan,
                              const std::vector<fortran_scan>& scans, std::size_t failed);

// Reads the Fortran sources of plan as they stand (see scan_fortran_sources_as_they_stand) and
// prints the line of module_order_hint on standard error when there is one.
void report_module_order(const std::vector<planned_command>& plan, std::size_t failed);
