// One description of each command a phase runs. The sequential loop, the parallel scheduler and
// the dry run all read the same record, so the modes differ only in how commands start and are
// waited for, never in what they run or leave behind.
#pragma once

#include <string>

#include "run/progress.h"

struct planned_command {
  command_kind kind = command_kind::compile;
  std::string name;     // the source as typed: the progress line and the messages name it
  std::string command;  // the exact text handed to the command interpreter
  std::string output;   // the file the command writes: an object or a dependency file
  // What a compile appends to the run's object list before its command starts: one blank and
  // the object as the link command must carry it.
  std::string object_entry;
  // Instead of a command, the message of a source that cannot be handled (no compiler for its
  // language); the run stops at this step after the steps before it.
  std::string refusal;
  bool fortran = false;
  // The configuration variable that names the command's program (CC, CXX, F77), named after a
  // command the interpreter could not find.
  const char* program_variable = nullptr;
  // A Fortran compile's preprocessor command: the compiler and flags of `command` with -E in
  // place of "-c ... -o OBJECT", printing the text the compiler reads. Parallel runs read the
  // module order of preprocessed sources from it; nothing else runs it.
  std::string preprocess;
};
