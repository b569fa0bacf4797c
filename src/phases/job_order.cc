// The waiting rules of parallel jobs, on plain data.
#include "phases/job_order.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

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

// The jobs in an order that every wait points back along, preferring at each step the ready job
// of the lowest rank, then the one listed first; empty when the waits form a circle.
std::vector<std::size_t> order_along_waits(const std::vector<std::vector<std::size_t>>& waits,
                                           const std::vector<int>& rank) {
  std::vector<std::size_t> pending(waits.size());
  std::vector<std::vector<std::size_t>> waited_by(waits.size());
  for (std::size_t job = 0; job < waits.size(); ++job) {
    pending[job] = waits[job].size();
    for (std::size_t other : waits[job])
      waited_by[other].push_back(job);
  }
  std::set<std::pair<int, std::size_t>> ready;
  for (std::size_t job = 0; job < waits.size(); ++job) {
    if (pending[job] == 0)
      ready.insert({rank[job], job});
  }
  std::vector<std::size_t> order;
  while (!ready.empty()) {
    const std::size_t job = ready.begin()->second;
    ready.erase(ready.begin());
    order.push_back(job);
    for (std::size_t next : waited_by[job]) {
      if (--pending[next] == 0)
        ready.insert({rank[next], next});
    }
  }
  if (order.size() != waits.size())
    order.clear();
  return order;
}

using module_definers = std::map<std::string, std::vector<std::size_t>>;

// The waits that the scanned text tells: users after every definer, definers of one module in
// listed order.
void add_known_module_waits(const std::vector<job_facts>& jobs, const module_definers& definers,
                            std::vector<std::vector<std::size_t>>& waits) {
  for (const auto& module : definers) {
    for (std::size_t i = 1; i < module.second.size(); ++i)
      add_wait(waits[module.second[i]], module.second[i - 1]);
  }
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (!jobs[job].fortran)
      continue;
    for (const std::string& name : jobs[job].scan.uses) {
      const auto found = definers.find(name);
      if (found == definers.end())
        continue;
      for (std::size_t definer : found->second) {
        if (definer != job)
          add_wait(waits[job], definer);
      }
    }
  }
}

// The guessed waits, each one to a job placed earlier in `order`.
void add_guessed_module_waits(const std::vector<job_facts>& jobs, const module_definers& definers,
                              const std::vector<std::size_t>& order,
                              std::vector<std::vector<std::size_t>>& waits) {
  std::vector<std::size_t> place(jobs.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    place[order[i]] = i;
  std::vector<std::size_t> opaque;
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (jobs[job].fortran && jobs[job].scan.opaque)
      opaque.push_back(job);
  }
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (!jobs[job].fortran)
      continue;
    const fortran_scan& scan = jobs[job].scan;
    bool may_need_opaque = scan.opaque;
    if (scan.opaque) {
      for (const auto& module : definers) {
        for (std::size_t definer : module.second) {
          if (place[definer] < place[job])
            add_wait(waits[job], definer);
        }
      }
    }
    for (const std::string& name : scan.uses) {
      if (definers.find(name) == definers.end() && !is_intrinsic_module(name))
        may_need_opaque = true;
    }
    if (!may_need_opaque)
      continue;
    for (std::size_t other : opaque) {
      if (place[other] < place[job])
        add_wait(waits[job], other);
    }
  }
}

void wait_for_earlier_fortran(const std::vector<job_facts>& jobs, std::size_t job,
                              std::vector<std::size_t>& waits) {
  for (std::size_t earlier = 0; earlier < job; ++earlier) {
    if (jobs[earlier].fortran)
      add_wait(waits, earlier);
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
  module_definers definers;
  std::vector<int> rank(jobs.size(), 2);
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (!jobs[job].fortran)
      continue;
    for (const std::string& name : jobs[job].scan.defines)
      definers[name].push_back(job);
    if (jobs[job].scan.opaque)
      rank[job] = 1;
    else if (!jobs[job].scan.defines.empty())
      rank[job] = 0;
  }
  std::vector<std::vector<std::size_t>> with_modules = waits;
  add_known_module_waits(jobs, definers, with_modules);
  const std::vector<std::size_t> order = order_along_waits(with_modules, rank);
  if (!order.empty()) {
    add_guessed_module_waits(jobs, definers, order, with_modules);
    return with_modules;
  }
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    if (jobs[job].fortran)
      wait_for_earlier_fortran(jobs, job, waits[job]);
  }
  return waits;
}
