// A file's size and modification time, and the clock those times are taken on, for the
// incremental build's decisions.
#pragma once

#include <string>

#include "text/build_record.h"

// The facts of the file at path (following symbolic links); exists false when it cannot be
// read. Times in nanoseconds since the file clock's epoch.
file_facts read_file_facts(const std::string& path);

// The file clock now, as the file system stamps a file written at this moment (its coarse
// clock where it has one), so that a file written after this call never gets an earlier time.
long long file_clock_now();
