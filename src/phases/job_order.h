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
// - for a Fortran source, every listed source that defines a module it uses, wherever that
//   source is listed; sources that define the same module run in listed order, as they write
//   the same module file.
// Those waits follow from the text. Where the text says too little they are guessed, and a guess
// never closes a circle: the guesses all point backwards along one order of the waits above,
// which puts sources that define modules first, then opaque sources (in listed order), then the
// rest. Along that order:
// - an opaque source waits for every source before it that defines a module (it may use any)
//   and for the opaque sources before it;
// - a source that uses a module no listed source defines (and the compiler does not bring)
//   waits for the opaque sources before it, one of which may define it.
// When the waits from the text form a circle (two sources that use each other's modules, which
// no compiler accepts), every Fortran source waits for the Fortran sources listed before it.
std::vector<std::vector<std::size_t>> order_jobs(const std::vector<job_facts>& jobs);
