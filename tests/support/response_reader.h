// How a GNU tool reads the arguments of a response file ("@FILE"): white space separates them,
// single and double quotes group, and a backslash takes the next character as it is, inside
// quotes too. Used to read back what zrvbuild writes, and by the Windows fake linker.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> read_response_arguments(const std::string& text) {
  const std::string white = " \t\r\n\v\f";
  std::vector<std::string> arguments;
  std::size_t i = 0;
  for (;;) {
    while (i < text.size() && white.find(text[i]) != std::string::npos)
      ++i;
    if (i == text.size())
      return arguments;
    std::string argument;
    char quote = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\\' && i + 1 < text.size()) {
        argument += text[++i];
      } else if (quote != 0) {
        if (c == quote) {
          quote = 0;
        } else {
          argument += c;
        }
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (white.find(c) != std::string::npos) {
        break;
      } else {
        argument += c;
      }
    }
    arguments.push_back(argument);
  }
}
