// The library search a link command asks for.
#include "text/link_libraries.h"

namespace {

std::vector<std::string> library_file_names(const std::string& request) {
  if (!request.empty() && request[0] == ':') return {request.substr(1)};
  return {"lib" + request + ".so",  "lib" + request + ".a",   "lib" + request + ".dll.a",
          request + ".dll.a",        request + ".lib",         "lib" + request + ".dll",
          request + ".dll"};
}

}  // namespace

library_search link_library_search(const std::vector<std::string>& words) {
  library_search search;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() < 2 || word[0] != '-' || (word[1] != 'L' && word[1] != 'l')) continue;
    std::string value = word.substr(2);
    // The value as the next word: "-L DIR", "-l NAME".
    if (value.empty()) {
      if (i + 1 == words.size()) continue;
      value = words[++i];
    }
    if (value.empty()) continue;
    if (word[1] == 'L')
      search.directories.push_back(value);
    else
      search.requests.push_back(library_file_names(value));
  }
  return search;
}
