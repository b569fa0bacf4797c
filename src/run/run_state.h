// The record of one run, owned by main and lent to every phase.
#pragma once

#include <string>
#include <vector>

struct run_state {
  std::vector<std::string> c_files;  // sources in command-line order, as typed
  std::vector<std::string> cxx_files;
  std::vector<std::string> fortran_files;
  // Accumulated strings: every entry begins with one blank.
  std::string obj_files;
  std::string lib_files;
  std::string include_flags;
  std::string define_flags;
  std::string linker_flags;
  std::string pass_on_flags;
  std::string target_file;  // first file argument; the module name after setup_output_names
  std::string output_file;  // operand of the last -o
  std::string ld_output_option;
  std::string target_ext = ".zrv";
  std::string unpassable_name;  // the first file name the interpreter cannot carry, or ""
  bool dry_run = false;
  bool depend = false;
  bool link = true;
  bool link_stand_alone = false;
  bool strip = false;
};

// Echo every command before running it; set by the verbose and debug options, never cleared.
extern bool verbose;
