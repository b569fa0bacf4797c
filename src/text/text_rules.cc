// Small text rules shared by every phase.
#include "text/text_rules.h"

bool is_true(const std::string& text) { return text == "yes" || text == "true"; }

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string quote_if_blank(const std::string& text) {
  if (text.find(' ') == std::string::npos || starts_with(text, "\"")) return text;
  return "\"" + text + "\"";
}

std::string basename_no_ext(const std::string& name) {
  // The dot is searched in the whole name, directories included, before the directory is cut.
  std::string stem = name.substr(0, name.rfind('.'));
  std::string::size_type slash = stem.find_last_of("/\\");
  if (slash != std::string::npos) stem.erase(0, slash + 1);
  return stem;
}

std::string linked_executable_name(const std::string& name, const std::string& executable_suffix) {
  const std::string::size_type slash = name.find_last_of("/\\");
  const std::string::size_type last_part = slash == std::string::npos ? 0 : slash + 1;
  if (name.find('.', last_part) != std::string::npos) return name;
  return name + executable_suffix;
}
