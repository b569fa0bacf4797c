// What each Fortran source of a parallel compile defines and uses through module files, read
// from the text its compiler will read.
#pragma once

#include <cstddef>
#include <vector>

#include "phases/command_plan.h"
#include "phases/fortran_scan.h"
#include "platform/jobserver.h"

// One scan per step of the plan, up to its first refusal (the others, those of C and C++
// steps and those of steps marked in unscanned, stay empty). A source that goes through the
// preprocessor (see read_fortran_command) is scanned in the output of its step's preprocessor
// command, unless the preprocessor cannot change its scan (see preprocessing_can_change_scan);
// those commands run before any compile, at most limit at once, each beyond the first holding
// a jobserver token, their output read through pipes. A preprocessor command that fails leaves
// its source opaque, scanned as it stands. Other sources are scanned as they stand; included files are
// followed (follow_includes). An interrupted run ends here by the signal once the commands have
// ended.
std::vector<fortran_scan> scan_fortran_steps(const std::vector<planned_command>& steps,
                                             const std::vector<bool>& unscanned,
                                             std::size_t limit, jobserver& server);

// The same scans with no command run: every Fortran source as it stands, a preprocessed one as
// the preprocessor's input (opaque where its conditionals or macros could change the scan).
std::vector<fortran_scan> scan_fortran_sources_as_they_stand(
    const std::vector<planned_command>& steps);
