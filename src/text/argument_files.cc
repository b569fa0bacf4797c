// Arguments read from a file named on the command line as "@FILE".
#include "text/argument_files.h"

namespace {

bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool names_argument_file(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '@';
}

std::vector<std::string> argument_file_words(const std::string& text) {
  const std::size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
  std::vector<std::string> words;
  std::size_t i = 0;
  for (;;) {
    while (i < end && is_white(text[i]))
      ++i;
    if (i == end)
      return words;
    std::string word;
    char quote = 0;
    for (; i < end && (quote != 0 || !is_white(text[i])); ++i) {
      const char c = text[i];
      if (c == '\\') {
        if (i + 1 < end)
          word += text[++i];
      } else if (quote != 0 && c == quote) {
        quote = 0;
      } else if (quote == 0 && (c == '\'' || c == '"')) {
        quote = c;
      } else {
        word += c;
      }
    }
    words.push_back(word);
  }
}
