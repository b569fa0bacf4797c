// Parallel jobs: the compile commands, or the dependency commands of -M, run up to N at a time
// (ZRVBUILD_JOBS=N), and inside make no more than its jobserver allows.
#pragma once

#include <string>
#include <vector>

#include "config/variable_table.h"
#include "phases/command_plan.h"
#include "platform/jobserver.h"
#include "run/run_state.h"

// The job count ZRVBUILD_JOBS asks for: 1 when the value is absent or empty; false when it is
// not a positive whole number.
bool parse_job_count(const char* value, int& count);

// What the sequential compile phase does with the same plan, up to job_count commands running
// at once: the same commands, the same objects in obj_files, the same files left behind and the
// status of the failure that comes first in sequential order. After a failure the commands
// listed before it still run, as they would in sequence, and none listed after it starts.
int parallel_compile_phase(run_state& run, const std::vector<planned_command>& steps,
                           int job_count, jobserver& server);

// What the sequential dependency phase does, with up to job_count dependency commands running at
// once; each command's output is read through a pipe and kept until the command has ended. Every source is handled, as in sequence, and the status is that of the
// first failure in sequential order.
int parallel_depend_phase(const std::vector<planned_command>& steps, int job_count,
                          jobserver& server);
