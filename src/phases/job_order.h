// Which compile or dependency job must end before another may start, when several run at once.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "phases/fortran_scan.h"

// One job as the sequential run would take it.
struct job_facts {
  std::string output;  // the file its command writes
  bool fortran = false;
  fortran_scan scan;  // Fortran only; an unreadable source is opaque
};

// For each job, in the order given (the sequential order), the jobs it waits for:
// - the last earlier job that writes the same file (names compared without regard to case), so
//   that writers of one file run in sequential order and the last one's file stays;
// - for a Fortran source, the one listed source that defines each module it uses, wherever that
//   source is listed;
// - for a Fortran source that is opaque, defines a module another source defines too, or uses
//   such a module: every Fortran source listed before it; the same for one that uses a module
//   no listed source defines, but only the opaque sources before it.
// Fortran sources that would wait for one another in a circle wait, all of them, for every
// Fortran source listed before them instead.
std::vector<std::vector<std::size_t>> order_jobs(const std::vector<job_facts>& jobs);
