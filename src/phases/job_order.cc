// The waiting rules of parallel jobs, on plain data.
#include "phases/job_order.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

// Modules the compiler brings along; a use of one waits for nothing.
bool is_intrinsic_module(const std::string& name) {
  static const char* const names[] = {"iso_c_binding",   "iso_fortran_env", "ieee_arithmetic",
                                      "ieee_exceptions", "ieee_features",   "omp_lib",
                                      "omp_lib_kinds",   "openacc"};
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

std::string lower_case(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void add_wait(std::vector<std::size_t>& waits, std::size_t job) {
  if (std::find(waits.begin(), waits.end(), job) == waits.end())
    waits.push_back(job);
}

void wait_for_earlier_fortran(const std::vector<job_facts>& jobs, std::size_t job, bool only_opaque,
                              std::vector<std::size_t>& waits) {
  for (std::size_t earlier = 0; earlier < job; ++earlier) {
    if (jobs[earlier].fortran && (!only_opaque || jobs[earlier].scan.opaque)) {
      add_wait(waits, earlier);
    }
  }
}

// True when following the waits from every job never comes back to it.
bool has_no_circle(const std::vector<std::vector<std::size_t>>& waits) {
  std::vector<std::size_t> pending(waits.size());
  std::vector<std::vector<std::size_t>> waited_by(waits.size());
  for (std::size_t job = 0; job < waits.size(); ++job) {
    pending[job] = waits[job].size();
    for (std::size_t other : waits[job])
      waited_by[other].push_back(job);
  }
  std::vector<std::size_t> free;
  for (std::size_t job = 0; job < waits.size(); ++job) {
    if (pending[job] == 0)
      free.push_back(job);
  }
  std::size_t ended = 0;
  while (!free.empty()) {
    const std::size_t job = free.back();
    free.pop_back();
    ++ended;
    for (std::size_t next : waited_by[job]) {
      if (--pending[next] == 0)
        free.push_back(next);
    }
  }
  return ended == waits.size();
}

void add_fortran_waits(const std::vector<job_facts>& jobs,
                       std::vector<std::vector<std::size_t>>& waits) {
  std::map<std::string, std::vector<std::size_t>> definers;
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (!jobs[job].fortran)
      continue;
    for (const std::string& name : jobs[job].scan.defines)
      definers[name].push_back(job);
  }
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (!jobs[job].fortran)
      continue;
    const fortran_scan& scan = jobs[job].scan;
    bool uncertain = scan.opaque;
    for (const std::string& name : scan.defines)
      uncertain = uncertain || definers[name].size() > 1;
    for (const std::string& name : scan.uses) {
      const auto found = definers.find(name);
      uncertain = uncertain || (found != definers.end() && found->second.size() > 1);
    }
    if (uncertain) {
      wait_for_earlier_fortran(jobs, job, false, waits[job]);
      continue;
    }
    for (const std::string& name : scan.uses) {
      const auto found = definers.find(name);
      if (found != definers.end()) {
        add_wait(waits[job], found->second.front());
      } else if (!is_intrinsic_module(name)) {
        // An opaque source may define it.
        wait_for_earlier_fortran(jobs, job, true, waits[job]);
      }
    }
  }
}

}  // namespace

std::vector<std::vector<std::size_t>> order_jobs(const std::vector<job_facts>& jobs) {
  std::vector<std::vector<std::size_t>> waits(jobs.size());
  std::map<std::string, std::size_t> last_writer;
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    const std::string output = lower_case(jobs[job].output);
    const auto found = last_writer.find(output);
    if (found != last_writer.end())
      add_wait(waits[job], found->second);
    last_writer[output] = job;
  }
  std::vector<std::vector<std::size_t>> with_modules = waits;
  add_fortran_waits(jobs, with_modules);
  if (has_no_circle(with_modules))
    return with_modules;
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (jobs[job].fortran)
      wait_for_earlier_fortran(jobs, job, false, waits[job]);
  }
  return waits;
}
