// The lists the help text documents (option forms per entry, variable names, file suffixes),
// read back out of `zrvbuild -h` so that other documents can be checked against it.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

struct help_lists {
  std::vector<std::vector<std::string>> option_entries;  // forms of each entry, in order
  std::vector<std::string> variables;                    // left column, then right column
  std::vector<std::string> suffixes;
};

// "-o FILE, --output FILE" gives {"-o FILE", "--output FILE"}.
inline std::vector<std::string> split_forms(const std::string& text) {
  std::vector<std::string> forms;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type comma = text.find(", ", start);
    forms.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos)
      return forms;
    start = comma + 2;
  }
}

// The text of a line after `indent` blanks up to the next run of two blanks, or "" when the
// line is not indented by exactly that much.
inline std::string tag_at_indent(const std::string& line, std::string::size_type indent) {
  if (line.size() <= indent || line.compare(0, indent, std::string(indent, ' ')) != 0 ||
      line[indent] == ' ')
    return "";
  std::string rest = line.substr(indent);
  return rest.substr(0, rest.find("  "));
}

inline help_lists read_help_lists() {
  help_lists lists;
  std::vector<std::string> right_column;
  std::istringstream lines(run_zrvbuild({"-h"}).out);
  std::string line;
  while (std::getline(lines, line)) {
    std::string entry = tag_at_indent(line, 2);
    if (!entry.empty() && entry[0] == '-')
      lists.option_entries.push_back(split_forms(entry));
    std::string item = tag_at_indent(line, 28);
    if (item.empty())
      continue;
    if (item[0] == '.') {
      lists.suffixes.push_back(item);
    } else {
      std::istringstream names(line);
      std::string left, right;
      names >> left >> right;
      lists.variables.push_back(left);
      right_column.push_back(right);
    }
  }
  lists.variables.insert(lists.variables.end(), right_column.begin(), right_column.end());
  return lists;
}
