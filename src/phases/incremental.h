// Incremental builds (ZRVBUILD_INCREMENTAL=1): a compile or link whose output a record says was
// made by exactly this command from files that have not changed since is skipped. Compiles ask
// the compiler for every file it reads (GCC's "-MD -MF FILE"); the record, .zrvbuild-record in
// the current directory, is written whole after every command that ends; one run at a time in a
// directory reads and writes it, a second one waiting for the first. When the mode is off
// every call here leaves the command as it is.
#pragma once

#include <string>
#include <vector>

#include "phases/command_plan.h"
#include "run/run_state.h"
#include "text/build_record.h"

// The record's name, in the current directory.
extern const char* const build_record_name;
// The file whose lock a run holds while it reads and writes the record, beside it.
extern const char* const build_record_lock_name;

// ZRVBUILD_INCREMENTAL: unset, empty or "0" off, "1" on; false for any other value.
bool parse_incremental_request(const char* value, bool& on);

// Turns the mode on for a run that builds (never in a dry run or for -M) and reads the record.
void setup_incremental(const run_state& run, bool requested);

// A compile about to start: skip set when it is up to date; else the command to run.
struct incremental_compile {
  std::string command;
  std::string dependency_file;  // the compiler's list of what it read; "" when not asked for
  int dependency_slot = -1;
  long long started = 0;  // on the file clock
  std::vector<recorded_file> programs;  // the command's program files as it started
  bool skip = false;
  // No private temporary for the compiler's list could be made (said already): the compile
  // does not run and fails.
  bool refused = false;
};

// Before a parallel run orders its compiles: which of steps (up to the first refusal) will
// surely be skipped, decided from the record and the files' facts alone (see surely_skipped),
// so that the module scan leaves their sources out. All false when the mode is off. Each is
// still decided again where it would start.
std::vector<bool> compiles_surely_skipped(const std::vector<planned_command>& steps);

// Called where the compile would start. Under -v says why it runs or is skipped.
incremental_compile begin_incremental_compile(const planned_command& step);

// Called once the compile has ended with status: records what it made and read when it
// succeeded and the compiler said what it read, and writes the record.
void end_incremental_compile(const planned_command& step, incremental_compile& state,
                             int status);

// The link of product with the exact command text (the strip command included when one
// follows): true when it is up to date and is skipped. lists: its object and library lists.
bool link_is_up_to_date(const std::string& product, const std::string& command_text);

// After the link (and its strip) ended with status: records the product and the files of lists
// it read, and writes the record. started: file_clock_now() before the link started.
void end_incremental_link(const std::string& product, const std::string& command_text,
                          const std::string& lists, long long started, int status);

// The file clock now, for end_incremental_link.
long long incremental_clock();

// At the end of the run: the record written when it changed, temporaries removed.
void finish_incremental();
