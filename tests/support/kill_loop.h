// Killing runs at random moments: the loop, the slow, long-output fake compiler for -M and the
// checks of what such runs leave behind. POSIX only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/process.h"

// The names in a directory, sorted; and those of them that are hidden (temporaries).
std::vector<std::string> entries_of(const std::string& dir);
std::vector<std::string> hidden_in(const std::string& dir);

// A fake compiler for -M whose rules for its last argument come out slowly, line by line.
extern const char* const slow_dependency_compiler;

// Starts rounds runs (start_run(round)) and ends each at a random moment up to longest_ms:
// SIGINT to the process group, SIGTERM to zrvbuild alone or SIGKILL to the group, in turn.
// Once zrvbuild has ended, whatever is left of its group is killed (after SIGTERM, only once it
// has ended by itself: a compiler left behind writes its output to the end, and check sees
// whatever it wrote) and check(signal_number) sees what the run left. The random seed and each
// round's signal and moment are in the trace.
void kill_at_random_moments(int rounds, int longest_ms,
                            const std::function<started_program(int round)>& start_run,
                            const std::function<void(int signal_number)>& check);

// Hidden files in dir other than those kept are temporaries a run left: none may be left after
// SIGINT or SIGTERM; they are removed for the next round.
void expect_no_temporaries_left(const std::string& dir, int signal_number,
                                const std::vector<std::string>& kept);

// Starts 24 runs and ends each at a random moment up to longest_ms: SIGINT to the process
// group, SIGTERM to zrvbuild alone or SIGKILL to the group. Each dependency file named in
// complete (name -> content of a whole run) must then be absent or complete, and after SIGINT
// or SIGTERM no hidden temporary may be left in work.
void expect_killed_runs_leave_whole_files(
    const std::function<started_program()>& start_run, const std::string& work,
    const std::vector<std::pair<std::string, std::string>>& complete, int longest_ms);
