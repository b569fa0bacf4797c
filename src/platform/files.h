// Every file zrvbuild opens, through one policy (text/file_policy.h): files written whole
// (dependency files, the build record, the trace) or in place when they are devices; files read
// whole with a size cap (argument files, the build record, the compilers' dependency lists,
// sources and include files of the module scan); private temporaries (response files, the
// compilers' dependency lists); lock files, which one run at a time holds. Every failure comes
// with the system's reason. The temporaries
// are registered with the interruption registry, so a run ended by SIGINT or SIGTERM removes
// them.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "text/file_policy.h"

// What the file system shows of a name: what it leads to, whether it is a link itself, and the
// names of a regular file.
file_shape inspect_file(const std::string& path);

// --- Files written whole.

struct pending_file {
  std::string final_path;
  std::string temporary_path;   // "" when the file is written in place
  std::FILE* stream = nullptr;  // open for writing as text; null when nothing could be opened
  int slot = -1;                // in the registry of temporaries
  std::string error;            // the reason of the first failure, "" while there is none
};

// The temporary's name: in the directory of final_path, the base name behind a '.' (hidden,
// and never matched by a wildcard such as "*.d"), then ".tmp" and the unique part.
std::string temporary_name_for(const std::string& final_path, const std::string& unique);

// Opens final_path for writing by the policy: a new temporary beside it (created exclusively,
// never through a link); a device or fifo, or a link to one, or one of this process's streams
// named as such, in place; where no temporary can be made, an existing regular file that is
// not a link and has no other name, in place. stream is null, with error set, otherwise.
pending_file open_pending_file(const std::string& final_path);

// Writes text; false (error set) when it, or an earlier write, failed.
bool write_pending_text(pending_file& file, const std::string& text);

// Flushes the stream; false (error set) when it, or an earlier write, failed.
bool flush_pending_file(pending_file& file);

// Closes the stream when open; false (error set) when the close, and so some write, failed.
bool close_pending_file(pending_file& file);

// Closes the stream and renames the temporary onto the final name, replacing what is there
// (a link itself, never its target); a file written in place is only closed. False (error set)
// when anything failed; the temporary is then removed.
bool commit_pending_file(pending_file& file);

// Closes the stream and removes the temporary.
void discard_pending_file(pending_file& file);

// Removes an old file before it is made again, unless it is a device or fifo or a link to one.
void remove_old_file(const std::string& path);

// --- Files read whole.

// Reads the file whole into text: a regular file, or for an argument file a pipe or terminal
// too, of at most largest_read bytes. False, with the reason, for anything else. (Platform.)
bool read_file_text(const std::string& path, read_use use, std::string& text, std::string& reason);

// --- Private temporaries, in the user's temporary directory (TMPDIR, else /tmp; on Windows
// GetTempPath). Each failure comes back as the whole message ("unable to create a temporary
// file in DIR: REASON" when none can be made).

// Creates a new file only this user may read, holding text (a response file). Returns its name, or
// "" with failure set.
std::string write_private_temporary_file(const std::string& text, std::string& failure);

// Removes a file made by write_private_temporary_file.
void remove_private_temporary_file(const std::string& name);

// Creates a new directory only this user may enter, for files that commands write while the run
// waits for them. Returns its name, or "" with failure set.
std::string make_private_temporary_directory(std::string& failure);
std::string make_private_temporary_directory();

// Removes a directory made by make_private_temporary_directory, once it is empty.
void remove_private_temporary_directory(const std::string& name);

// --- Lock files: a file that only serves for one process at a time to hold its lock, made when
// missing and never removed (a removed lock file could be locked by two processes at once, each
// through its own name). The lock goes with the process: its end, however it comes, gives the
// lock up. (Platform.)

struct lock_file {
  long long handle = -1;  // the descriptor or handle; -1 when none is open
};

enum class lock_result { taken, busy, failed };

// Opens the lock file at path, creating it when missing; never through a link and never
// anything but a regular file (may_lock), and not inherited by commands. False with reason
// otherwise.
bool open_lock_file(const std::string& path, lock_file& lock, std::string& reason);

// Takes the exclusive lock without waiting: busy while another process holds it, failed with
// reason when it cannot be taken at all.
lock_result try_lock_file(lock_file& lock, std::string& reason);

// Closes the lock file, which gives its lock up.
void close_lock_file(lock_file& lock);

// Waits this long between tries for a lock.
void pause_milliseconds(int milliseconds);

// --- The platform's primitives behind the above (files_posix.cc, files_win32.cc). Each
// failure sets reason to the system's words.

// A new file (never an existing one, never through a link), not inherited by commands; text
// mode for the files written whole, private to this user for the temporaries.
std::FILE* create_new_file(const std::string& path, bool private_to_user, std::string& reason);
// A device or fifo (following links), opened for writing as it is; never a regular file or a
// directory, and never waiting for a reader.
std::FILE* open_in_place(const std::string& path, std::string& reason);
// A copy of one of this process's descriptors, for writing.
std::FILE* open_descriptor(int descriptor, std::string& reason);
// An existing regular file, not through a link and with no other name, emptied for writing.
std::FILE* open_existing_regular(const std::string& path, std::string& reason);
// Renames from onto to, replacing to (a link itself) when it exists.
bool replace_file(const std::string& from, const std::string& to, std::string& reason);
bool remove_file(const std::string& path);
bool create_new_directory(const std::string& path, std::string& reason);
bool remove_directory(const std::string& path);
// The user's temporary directory, as the messages name it.
std::string temporary_directory();

// Reads a file whole through read_some, which fills a buffer and returns the bytes it read, 0 at
// the end, or -1 with reason set. size_hint: the bytes the file is known to hold, or 0. False,
// with reason, when a read fails, memory runs out or the text would pass largest_read; text is
// then empty.
bool read_whole_capped(const std::function<long(char* buffer, unsigned long size,
                                                std::string& reason)>& read_some,
                       long long size_hint, std::string& text, std::string& reason);

// The system's words for the last failure of a C library call (errno).
std::string last_error_reason();
