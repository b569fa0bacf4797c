// The one policy for every file zrvbuild opens.
#include "text/file_policy.h"

#include <cerrno>
#include <cstring>

namespace {

bool is_stream_or_device(file_kind kind) {
  return kind == file_kind::fifo || kind == file_kind::terminal || kind == file_kind::device ||
         kind == file_kind::other;
}

// A whole decimal number of at most four digits, the descriptors a caller may hand on.
int descriptor_number(const std::string& digits) {
  if (digits.empty() || digits.size() > 4)
    return -1;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9')
      return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

const long long largest_read = 256LL * 1024 * 1024;

write_way choose_write(const file_shape& target) {
  if (is_stream_or_device(target.kind))
    return write_way::in_place;
  if (target.kind == file_kind::directory && !target.link)
    return write_way::refuse;
  return write_way::replace;
}

bool may_write_existing(const file_shape& target) {
  return target.kind == file_kind::regular && !target.link && target.names == 1;
}

bool may_remove(const file_shape& target) {
  return !is_stream_or_device(target.kind) && (target.kind != file_kind::directory || target.link);
}

bool may_lock(const file_shape& target) {
  return target.kind == file_kind::regular && !target.link;
}

std::string read_refusal(const file_shape& source, read_use use, long long size) {
  switch (source.kind) {
    case file_kind::missing:
      return std::strerror(ENOENT);
    case file_kind::regular:
      return size > largest_read ? too_large_reason() : "";
    case file_kind::directory:
      return std::strerror(EISDIR);
    case file_kind::fifo:
    case file_kind::terminal:
      if (use == read_use::argument_file)
        return "";
      break;
    case file_kind::device:
    case file_kind::other:
      break;
  }
  return use == read_use::argument_file ? "not a regular file, pipe or terminal"
                                        : "not a regular file";
}

std::string too_large_reason() {
  return "larger than " + std::to_string(largest_read / (1024 * 1024)) + " MiB";
}

int own_stream_descriptor(const std::string& path) {
  if (path == "/dev/stdin")
    return 0;
  if (path == "/dev/stdout")
    return 1;
  if (path == "/dev/stderr")
    return 2;
  for (const char* directory : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::string prefix = directory;
    if (path.compare(0, prefix.size(), prefix) == 0)
      return descriptor_number(path.substr(prefix.size()));
  }
  return -1;
}

std::string temporary_file_refusal(const std::string& directory, const std::string& reason) {
  return "unable to create a temporary file in " + directory + ": " + reason;
}
