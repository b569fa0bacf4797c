// A file that readers see whole or not at all: written under a temporary name beside its final
// name and renamed onto it once complete. The temporary is registered with the interruption
// registry, so a run ended by SIGINT or SIGTERM removes it.
#pragma once

#include <cstdio>
#include <string>

struct pending_file {
  std::string final_path;
  std::string temporary_path;
  std::FILE* stream = nullptr;  // open for writing as text; null when nothing could be created
  int slot = -1;                // in the registry of temporaries
};

// The temporary's name: in the directory of final_path, the base name behind a '.' (hidden,
// and never matched by a wildcard such as "*.d"), then ".tmp" and the unique part.
std::string temporary_name_for(const std::string& final_path, const std::string& unique);

// Creates a new temporary for final_path. When none can be created the final file is opened
// in place instead (temporary_path empty); stream is null when that fails too.
pending_file open_pending_file(const std::string& final_path);

// Closes the stream when open; false when the close (and so some write) failed.
bool close_pending_file(pending_file& file);

// Closes the stream and renames the temporary onto the final name, replacing what is there
// (a symbolic link itself, never its target); a file opened in place is only closed. False
// when the close or the rename failed; the temporary is then removed.
bool commit_pending_file(pending_file& file);

// Closes the stream and removes the temporary.
void discard_pending_file(pending_file& file);

// Platform primitives behind the above.
// A new file (never an existing one) open for writing as text, not inherited by children.
std::FILE* create_new_text_file(const std::string& path);
// Renames from onto to, replacing to when it exists; false on failure.
bool replace_file(const std::string& from, const std::string& to);
