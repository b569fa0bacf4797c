// The one policy for every file zrvbuild opens, as rules on what the file system shows of a
// name: whether a write goes through a temporary and a rename, into the file in place, or not at
// all; which files a read takes and how much of them; which names may be removed. The platform
// files gather the facts and act (platform/files.h).
#pragma once

#include <string>

// What a name leads to, symbolic links followed.
enum class file_kind { missing, regular, directory, fifo, terminal, device, other };

struct file_shape {
  file_kind kind = file_kind::missing;
  bool link = false;        // the name itself is a symbolic link (a reparse point on Windows)
  unsigned long names = 1;  // the hard links of a regular file
};

enum class write_way {
  replace,   // a new temporary beside the name, renamed onto it once complete
  in_place,  // a device or fifo (or a link to one): written as it is, never replaced
  refuse,    // a directory: nothing can be written there
};

// How a file of this shape is written. A link to a regular file (or to nothing) is replaced by
// the rename, never written through.
write_way choose_write(const file_shape& target);

// Where no temporary can be made beside the name: true only for a regular file that is not a
// link and has no other name, which is then written in place.
bool may_write_existing(const file_shape& target);

// Whether the old file under the name may be removed before it is made again: never a device
// or fifo, nor a link to one.
bool may_remove(const file_shape& target);

// Whether a lock file of this shape may be held: a regular file that is not a link, so that
// taking the lock never creates or opens a file elsewhere.
bool may_lock(const file_shape& target);

enum class read_use {
  own_file,       // a file zrvbuild reads for itself: regular files only
  argument_file,  // @FILE: a pipe or terminal too, so that a pipeline can hand over a list
};

// The most bytes any read takes: far more than a build record or an argument list of any real
// build, and little enough that a stream that never ends is stopped at once and in memory.
extern const long long largest_read;

// Why a file of this shape cannot be read for this use, or "" when it can. size: the bytes a
// regular file holds.
std::string read_refusal(const file_shape& source, read_use use, long long size);

// The reason given for a file past largest_read.
std::string too_large_reason();

// The descriptor that a name for one of this process's own streams stands for ("/dev/stdout",
// "/dev/stderr", "/dev/fd/N", "/proc/self/fd/N"), or -1. Such a name is written in place through
// the descriptor: what stands behind it is the caller's stream, never a file to replace.
int own_stream_descriptor(const std::string& path);

// The message for a temporary file that cannot be made in directory.
std::string temporary_file_refusal(const std::string& directory, const std::string& reason);
