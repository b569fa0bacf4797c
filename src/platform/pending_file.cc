// Files written whole or not at all, on every platform; the platform files create the
// temporary and rename it.
#include "platform/pending_file.h"

#include <cerrno>

#include "platform/interrupts.h"
#include "platform/wrappers.h"

namespace {

// Tries beyond the first name, for stale temporaries of killed runs that had the same
// process id.
const int name_attempts = 100;

}  // namespace

std::string temporary_name_for(const std::string& final_path, const std::string& unique) {
  const std::string::size_type separator = final_path.find_last_of("/\\");
  const std::string::size_type base = separator == std::string::npos ? 0 : separator + 1;
  return final_path.substr(0, base) + "." + final_path.substr(base) + ".tmp" + unique;
}

pending_file open_pending_file(const std::string& final_path) {
  pending_file file;
  file.final_path = final_path;
  const std::string process = std::to_string(zorvan_getpid_wrapper());
  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string unique = attempt == 0 ? process : process + "-" + std::to_string(attempt);
    file.temporary_path = temporary_name_for(final_path, unique);
    // Registered first: a signal between the creation and the registration would leave it.
    file.slot = register_temporary(file.temporary_path);
    file.stream = create_new_text_file(file.temporary_path);
    if (file.stream != nullptr)
      return file;
    const int create_error = errno;
    release_temporary(file.slot);
    file.slot = -1;
    errno = create_error;
    if (create_error != EEXIST)
      break;
  }
  // No new file can be made beside it (a directory that is not writable may still hold a
  // writable file): the file is written in place, as it always was.
  file.temporary_path.clear();
  file.stream = std::fopen(final_path.c_str(), "w");
  return file;
}

bool close_pending_file(pending_file& file) {
  if (file.stream == nullptr)
    return true;
  const bool closed = std::fclose(file.stream) == 0;
  file.stream = nullptr;
  return closed;
}

bool commit_pending_file(pending_file& file) {
  bool committed = close_pending_file(file);
  if (file.temporary_path.empty())
    return committed;
  if (committed)
    committed = replace_file(file.temporary_path, file.final_path);
  if (!committed)
    zorvan_unlink_wrapper(file.temporary_path.c_str());
  release_temporary(file.slot);
  file.slot = -1;
  file.temporary_path.clear();
  return committed;
}

void discard_pending_file(pending_file& file) {
  close_pending_file(file);
  if (!file.temporary_path.empty())
    zorvan_unlink_wrapper(file.temporary_path.c_str());
  release_temporary(file.slot);
  file.slot = -1;
  file.temporary_path.clear();
}
