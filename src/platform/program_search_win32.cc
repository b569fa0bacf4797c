// Program search on Windows: the current directory, then PATH, each name tried as it is and
// with each extension of PATHEXT, as the command interpreter finds it.
#include <cstdlib>
#include <vector>

#include "platform/file_facts.h"
#include "platform/program_search.h"
#include "text/program_words.h"

namespace {

std::string variable(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::vector<std::string> extensions() {
  std::vector<std::string> list;
  const std::string text = variable("PATHEXT", ".COM;.EXE;.BAT;.CMD");
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(';', start);
    const std::string extension =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!extension.empty()) list.push_back(extension);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return list;
}

}  // namespace

std::string find_program_file(const std::string& word) {
  const std::string path = ".;" + variable("PATH", "");
  for (const std::string& candidate : program_candidates(word, path, ';', extensions(), true)) {
    if (read_file_facts(candidate).exists) return candidate;
  }
  return "";
}
