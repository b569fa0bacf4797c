// The files that would have shadowed the headers a compile read.
#include "phases/include_shadowing.h"

#include <algorithm>

#include "phases/fortran_scan.h"

namespace {

// The include search directories of a command's words, in the compiler's order: -iquote, -I,
// -isystem, -idirafter.
std::vector<std::string> include_search(const std::vector<std::string>& words) {
  const char* const options[] = {"-iquote", "-I", "-isystem", "-idirafter"};
  std::vector<std::vector<std::string>> lists(4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (std::size_t kind = 0; kind < 4; ++kind) {
      const std::string option = options[kind];
      if (words[i].compare(0, option.size(), option) != 0) continue;
      std::string directory = words[i].substr(option.size());
      if (directory.empty() && i + 1 < words.size()) directory = words[++i];
      if (!directory.empty()) lists[kind].push_back(directory);
      break;
    }
  }
  std::vector<std::string> directories;
  for (const auto& list : lists) directories.insert(directories.end(), list.begin(), list.end());
  return directories;
}

void add_once(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

}  // namespace

std::vector<std::string> include_shadowing_candidates(const std::vector<std::string>& words,
                                                      const std::string& source,
                                                      const std::vector<std::string>& headers) {
  const std::vector<std::string> directories = include_search(words);
  const std::string own_directory = directory_part(source);
  std::vector<std::string> candidates;
  for (const std::string& header : headers) {
    if (header == source) continue;
    for (std::size_t found_in = 0; found_in < directories.size(); ++found_in) {
      const std::string prefix = path_in_directory(directories[found_in], "");
      if (header.size() <= prefix.size() || header.compare(0, prefix.size(), prefix) != 0)
        continue;
      const std::string name = header.substr(prefix.size());
      std::vector<std::string> earlier = {path_in_directory(own_directory, name)};
      for (std::size_t before = 0; before < found_in; ++before)
        earlier.push_back(path_in_directory(directories[before], name));
      for (const std::string& candidate : earlier) {
        if (candidate != header) add_once(candidates, candidate);
      }
    }
  }
  return candidates;
}
