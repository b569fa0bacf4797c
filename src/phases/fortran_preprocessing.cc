// Whether the preprocessor can change a Fortran source's scan. Without directives, C comments
// and line splices the preprocessor only replaces the names of macros, each within its line,
// and the replacement cannot turn a comment line into text the scan reads; so the text stands
// as it is unless a defined name appears where the scan reads, or the command defines macros
// that may take arguments from the following lines.
#include "phases/fortran_preprocessing.h"

#include <cctype>
#include <set>

#include "phases/fortran_scan.h"
#include "text/text_rules.h"

namespace {

// Names that C preprocessors predefine on some systems beside those reserved to them.
const char* const system_macro_names[] = {"unix", "linux", "i386", "WIN32", "WIN64", "WINNT"};

// Options whose effect on the preprocessor's output is not read here.
const char* const unread_preprocessor_options[] = {"-Wp,", "-Xpreprocessor", "-include",
                                                    "-imacros", "-trigraphs", "@"};

bool is_line_blank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool starts_name(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool continues_name(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The names the preprocessor sees on a line: a name begins at a letter or underscore, also right
// after digits ("1_LP64" holds the name "_LP64"), and '$' ends it.
std::vector<std::string> names_in(const std::string& line) {
  std::vector<std::string> names;
  std::string::size_type i = 0;
  while (i < line.size()) {
    if (!starts_name(line[i])) {
      ++i;
      continue;
    }
    std::string::size_type end = i;
    while (end < line.size() && continues_name(line[end]))
      ++end;
    names.push_back(line.substr(i, end - i));
    i = end;
  }
  return names;
}

// The names the command defines; false when it passes the preprocessor what is not read here.
bool read_defined_names(const std::vector<std::string>& words, std::set<std::string>& names) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    for (const char* option : unread_preprocessor_options) {
      if (starts_with(word, option))
        return false;
    }
    std::string definition;
    if (word == "-D" && i + 1 < words.size())
      definition = words[++i];
    else if (starts_with(word, "-D"))
      definition = word.substr(2);
    else
      continue;
    // A definition's lines after the first would be text of their own.
    if (definition.find_first_of("\n\r") != std::string::npos)
      return false;
    names.insert(definition.substr(0, definition.find_first_of("=(")));
  }
  return true;
}

bool has_preprocessor_syntax(const std::string& line, bool last_line) {
  const std::string::size_type first = line.find_first_not_of(" \t\f\v");
  if (first != std::string::npos && line[first] == '#')
    return true;
  if (line.find("/*") != std::string::npos)
    return true;
  // A carriage return ends a line for the preprocessor; the scan takes one only before '\n'.
  const std::string::size_type cr = line.find('\r');
  if (cr != std::string::npos && (cr + 1 != line.size() || last_line))
    return true;
  const std::string::size_type backslash = line.rfind('\\');
  if (backslash == std::string::npos)
    return false;
  for (std::string::size_type i = backslash + 1; i < line.size(); ++i) {
    if (!is_line_blank(line[i]) && line[i] != '\r')
      return false;
  }
  return true;
}

}  // namespace

bool could_be_predefined_macro(const std::string& name) {
  if (starts_with(name, "__") ||
      (name.size() > 1 && name[0] == '_' && std::isupper(static_cast<unsigned char>(name[1]))))
    return true;
  for (const char* system_name : system_macro_names) {
    if (name == system_name)
      return true;
  }
  return false;
}

bool preprocessing_can_change_scan(const std::string& text, bool fixed_form,
                                   const std::vector<std::string>& command_words) {
  std::set<std::string> defined;
  if (!read_defined_names(command_words, defined))
    return true;
  // A free-form comment line after a line that may be continued may belong to a string.
  bool may_continue = false;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    const bool last_line = end == std::string::npos;
    if (last_line)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (has_preprocessor_syntax(line, last_line))
      return true;
    const std::vector<std::string> names = names_in(line);
    for (const std::string& name : names) {
      if (defined.count(name) != 0)
        return true;
    }
    bool read_by_scan = true;
    if (fixed_form && is_fixed_form_comment_line(line)) {
      // Only a name in the first column could change the comment marker itself.
      if (!names.empty() && starts_name(line[0]) && could_be_predefined_macro(names.front()))
        return true;
      read_by_scan = false;
    } else if (!fixed_form && is_free_form_comment_line(line)) {
      read_by_scan = may_continue;
    } else if (!fixed_form) {
      may_continue = line.find('&') != std::string::npos;
    }
    if (!read_by_scan)
      continue;
    for (const std::string& name : names) {
      if (could_be_predefined_macro(name))
        return true;
    }
  }
  return false;
}
