// The program words of a command and the interpreter's candidates for each.
#include "text/program_words.h"

#include "text/text_rules.h"

namespace {

const char* const launchers[] = {"ccache", "sccache", "distcc", "icecc"};

bool is_launcher(const std::string& word) {
  std::string name = word.substr(word.find_last_of("/\\") == std::string::npos
                                     ? 0
                                     : word.find_last_of("/\\") + 1);
  if (ends_with(name, ".exe") || ends_with(name, ".EXE")) name.resize(name.size() - 4);
  for (const char* launcher : launchers) {
    if (name == launcher) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> program_words(const std::vector<std::string>& words) {
  std::vector<std::string> programs;
  for (const std::string& word : words) {
    // After a launcher an option belongs to the launcher: there is no further program.
    if (!programs.empty() && starts_with(word, "-")) break;
    programs.push_back(word);
    if (!is_launcher(word)) break;
  }
  return programs;
}

std::vector<std::string> program_candidates(const std::string& word,
                                            const std::string& search_path, char separator,
                                            const std::vector<std::string>& extensions,
                                            bool windows_names) {
  std::vector<std::string> candidates;
  if (word.empty()) return candidates;
  std::vector<std::string> names;
  const char* const placed = windows_names ? "/\\:" : "/";
  if (word.find_first_of(placed) != std::string::npos) {
    names.push_back(word);
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = search_path.find(separator, start);
      const std::string directory =
          search_path.substr(start, end == std::string::npos ? std::string::npos : end - start);
      names.push_back(directory.empty() ? word : directory + "/" + word);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  for (const std::string& name : names) {
    candidates.push_back(name);
    for (const std::string& extension : extensions) candidates.push_back(name + extension);
  }
  return candidates;
}
