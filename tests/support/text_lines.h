// Small helpers for comparing what the program writes, line by line.
#pragma once

#include <regex>
#include <string>
#include <vector>

// The lines, each with its line end.
inline std::string lines(const std::vector<std::string>& each) {
  std::string text;
  for (const std::string& line : each) text += line + "\n";
  return text;
}

// The text with the time of a summary line (" in 2.4 s") written " in T s".
inline std::string without_times(const std::string& text) {
  return std::regex_replace(text, std::regex(" in [0-9]+\\.[0-9] s\n"), " in T s\n");
}

// The text's last line with its line end; the whole text when it has one line or none.
inline std::string last_line(const std::string& text) {
  if (text.size() < 2) return text;
  const std::string::size_type start = text.rfind('\n', text.size() - 2);
  return start == std::string::npos ? text : text.substr(start + 1);
}
