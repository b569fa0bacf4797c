// Program search on POSIX systems: PATH (the system's default path when it is unset), the first
// candidate that is an executable regular file, as the shell's search finds it.
#include <unistd.h>

#include <cstdlib>

#include "platform/file_facts.h"
#include "platform/program_search.h"
#include "platform/wrappers.h"
#include "text/program_words.h"

namespace {

std::string search_path() {
  const char* value = std::getenv("PATH");
  if (value != nullptr) return value;
  const std::size_t size = confstr(_CS_PATH, nullptr, 0);
  if (size == 0) return "/bin:/usr/bin";
  std::string path(size, '\0');
  confstr(_CS_PATH, &path[0], size);
  path.resize(size - 1);
  return path;
}

}  // namespace

std::string find_program_file(const std::string& word) {
  for (const std::string& candidate : program_candidates(word, search_path(), ':', {}, false)) {
    if (read_file_facts(candidate).exists &&
        zorvan_access_wrapper(candidate.c_str(), zorvan_access_x_ok()) == 0)
      return candidate;
  }
  return "";
}
