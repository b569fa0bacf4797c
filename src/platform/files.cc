// Files written whole or in place, and private temporaries, on every platform: the policy's
// decisions taken in order; the platform files open, rename and read.
#include "platform/files.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "platform/interrupts.h"
#include "platform/wrappers.h"

namespace {

#ifdef _WIN32
const char* const directory_separator = "\\";
#else
const char* const directory_separator = "/";
#endif

// The longest name of one directory entry that the file systems in use take, in bytes.
const std::size_t longest_name = 255;

// Tries beyond the first name, for stale temporaries of killed runs that had the same
// process id, or names someone else took.
const int name_attempts = 100;

// Six letters and digits for a private temporary's name, mixed from the process, a count and
// the clock, so that no other run is likely to choose them. Creation is exclusive, so a taken
// name only costs a try.
std::string unique_part() {
  static unsigned long long count = 0;
  const unsigned long long ticks = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mixed = ticks * 0x9E3779B97F4A7C15ULL + ++count * 0xBF58476D1CE4E5B9ULL +
                             static_cast<unsigned long long>(zorvan_getpid_wrapper());
  mixed ^= mixed >> 29;
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string text;
  for (int i = 0; i < 6; ++i, mixed /= 62)
    text += digits[mixed % 62];
  return text;
}

void fail(pending_file& file, const std::string& reason) {
  if (file.error.empty())
    file.error = reason;
}

// A new temporary beside final_path; false, with the reason, when none can be made.
bool open_temporary(pending_file& file, std::string& reason) {
  const std::string process = std::to_string(zorvan_getpid_wrapper());
  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string unique = attempt == 0 ? process : process + "-" + std::to_string(attempt);
    file.temporary_path = temporary_name_for(file.final_path, unique);
    // Registered first: a signal between the creation and the registration would leave it.
    file.slot = register_temporary(file.temporary_path);
    const int before = errno;
    errno = 0;
    file.stream = create_new_file(file.temporary_path, false, reason);
    const bool taken = file.stream == nullptr && errno == EEXIST;
    if (file.stream != nullptr)
      errno = before;
    if (file.stream != nullptr)
      return true;
    release_temporary(file.slot);
    file.slot = -1;
    if (!taken)
      break;
  }
  file.temporary_path.clear();
  return false;
}

}  // namespace

std::string temporary_name_for(const std::string& final_path, const std::string& unique) {
  const std::string::size_type separator = final_path.find_last_of("/\\");
  const std::string::size_type base = separator == std::string::npos ? 0 : separator + 1;
  // A long base name is cut so that the temporary's name still fits where the final one does.
  const std::string tail = ".tmp" + unique;
  const std::size_t room = longest_name > tail.size() + 1 ? longest_name - tail.size() - 1 : 0;
  return final_path.substr(0, base) + "." + final_path.substr(base, room) + tail;
}

pending_file open_pending_file(const std::string& final_path) {
  pending_file file;
  file.final_path = final_path;
  std::string reason;
  const int own = own_stream_descriptor(final_path);
  if (own >= 0) {
    file.stream = open_descriptor(own, reason);
    if (file.stream == nullptr)
      fail(file, reason);
    return file;
  }
  const file_shape target = inspect_file(final_path);
  switch (choose_write(target)) {
    case write_way::refuse:
      fail(file, std::strerror(EISDIR));
      return file;
    case write_way::in_place:
      file.stream = open_in_place(final_path, reason);
      if (file.stream == nullptr)
        fail(file, reason);
      return file;
    case write_way::replace:
      break;
  }
  if (open_temporary(file, reason))
    return file;
  // No new file can be made beside it (a directory that is not writable may still hold a
  // writable file): only a plain file of its own is written in place.
  if (!may_write_existing(target)) {
    fail(file, reason);
    return file;
  }
  file.stream = open_existing_regular(final_path, reason);
  if (file.stream == nullptr)
    fail(file, reason);
  return file;
}

bool write_pending_text(pending_file& file, const std::string& text) {
  if (file.stream == nullptr || !file.error.empty())
    return false;
  if (std::fwrite(text.data(), 1, text.size(), file.stream) != text.size()) {
    fail(file, last_error_reason());
    return false;
  }
  return true;
}

bool flush_pending_file(pending_file& file) {
  if (file.stream == nullptr || !file.error.empty())
    return false;
  if (std::fflush(file.stream) != 0) {
    fail(file, last_error_reason());
    return false;
  }
  return true;
}

bool close_pending_file(pending_file& file) {
  if (file.stream == nullptr)
    return file.error.empty();
  if (std::ferror(file.stream) != 0)
    fail(file, last_error_reason());
  const bool closed = std::fclose(file.stream) == 0;
  if (!closed)
    fail(file, last_error_reason());
  file.stream = nullptr;
  return file.error.empty();
}

bool commit_pending_file(pending_file& file) {
  bool committed = close_pending_file(file);
  if (file.temporary_path.empty())
    return committed;
  std::string reason;
  if (committed) {
    // A device or fifo put under the name meanwhile is never replaced.
    if (choose_write(inspect_file(file.final_path)) == write_way::in_place) {
      fail(file, "replaced by a device or fifo while it was written");
      committed = false;
    } else if (!replace_file(file.temporary_path, file.final_path, reason)) {
      fail(file, reason);
      committed = false;
    }
  }
  if (!committed)
    remove_file(file.temporary_path);
  release_temporary(file.slot);
  file.slot = -1;
  file.temporary_path.clear();
  return committed;
}

void discard_pending_file(pending_file& file) {
  if (file.stream != nullptr)
    std::fclose(file.stream);
  file.stream = nullptr;
  if (!file.temporary_path.empty())
    remove_file(file.temporary_path);
  release_temporary(file.slot);
  file.slot = -1;
  file.temporary_path.clear();
}

void remove_old_file(const std::string& path) {
  if (may_remove(inspect_file(path)))
    remove_file(path);
}

std::string write_private_temporary_file(const std::string& text, std::string& failure) {
  const std::string directory = temporary_directory();
  std::string reason;
  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string name = directory + directory_separator + "zrvbuild-" + unique_part();
    errno = 0;
    std::FILE* file = create_new_file(name, true, reason);
    if (file == nullptr) {
      if (errno == EEXIST)
        continue;
      break;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (!written || std::fflush(file) != 0)
      written = false;
    if (!written)
      reason = last_error_reason();
    if (std::fclose(file) != 0 && written) {
      written = false;
      reason = last_error_reason();
    }
    if (written)
      return name;
    remove_file(name);
    failure = "unable to write response file " + name + ": " + reason;
    return "";
  }
  failure = temporary_file_refusal(directory, reason);
  return "";
}

void remove_private_temporary_file(const std::string& name) {
  remove_file(name);
}

std::string make_private_temporary_directory(std::string& failure) {
  const std::string directory = temporary_directory();
  std::string reason;
  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string name = directory + directory_separator + "zrvbuild-" + unique_part();
    errno = 0;
    if (create_new_directory(name, reason))
      return name;
    if (errno != EEXIST)
      break;
  }
  failure = temporary_file_refusal(directory, reason);
  return "";
}

std::string make_private_temporary_directory() {
  std::string failure;
  return make_private_temporary_directory(failure);
}

void remove_private_temporary_directory(const std::string& name) {
  remove_directory(name);
}

std::string last_error_reason() {
  return std::strerror(errno);
}

bool read_whole_capped(const std::function<long(char* buffer, unsigned long size,
                                                std::string& reason)>& read_some,
                       long long size_hint, std::string& text, std::string& reason) {
  text.clear();
  bool complete = false;
  try {
    if (size_hint > 0 && size_hint <= largest_read)
      text.reserve(static_cast<std::size_t>(size_hint));
    char buffer[1 << 16];
    for (;;) {
      const long count = read_some(buffer, sizeof buffer, reason);
      if (count < 0)
        break;
      if (count == 0) {
        complete = true;
        break;
      }
      // A file that grows past the cap while it is read, or a stream that does not end.
      if (static_cast<long long>(text.size()) + count > largest_read) {
        reason = too_large_reason();
        break;
      }
      text.append(buffer, static_cast<std::size_t>(count));
    }
  } catch (const std::bad_alloc&) {
    reason = std::strerror(ENOMEM);
  }
  if (!complete)
    std::string().swap(text);
  return complete;
}
