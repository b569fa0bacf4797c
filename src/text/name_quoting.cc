// How a file or directory name is written into a command or a make rule.
#include "text/name_quoting.h"

#include <cstring>

namespace {

// Besides the blank: characters that end a word or start shell syntax anywhere in a word ('#'
// and '~' do so at its start only).
const char posix_special[] = "\t\n|&;<>()$`\\\"'*?[{}";
// '*' and '?' for run-times that expand wildcards in unquoted arguments.
const char cmd_exe_special[] = "\t&|<>^()*?";
const char cmd_exe_refused[] = "%\"\n\r";

bool holds_any(const std::string& name, const char* characters) {
  return name.find_first_of(characters, 0, std::strlen(characters)) != std::string::npos;
}

// Whether the name holds a character special to the interpreter other than the blank.
bool holds_other_special(const std::string& name, interpreter_kind kind) {
  if (kind == interpreter_kind::cmd_exe)
    return holds_any(name, cmd_exe_special);
  return holds_any(name, posix_special) || (!name.empty() && (name[0] == '#' || name[0] == '~'));
}

std::string single_quoted(const std::string& name) {
  std::string quoted = "'";
  for (const char c : name) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// The run-time reads 2n backslashes before a quote as n backslashes.
std::string double_quoted(const std::string& name, interpreter_kind kind) {
  std::string quoted = "\"" + name;
  if (kind == interpreter_kind::cmd_exe) {
    const std::string::size_type last = name.find_last_not_of('\\');
    const std::size_t trailing = last == std::string::npos ? name.size() : name.size() - last - 1;
    quoted.append(trailing, '\\');
  }
  return quoted + "\"";
}

}  // namespace

bool can_pass_file_name(const std::string& name, interpreter_kind kind) {
  return kind == interpreter_kind::posix_shell || !holds_any(name, cmd_exe_refused);
}

std::string quote_file_name(const std::string& name, interpreter_kind kind) {
  if (name.empty())
    return kind == interpreter_kind::posix_shell ? "''" : "\"\"";
  const bool blank = name.find(' ') != std::string::npos;
  const bool other = holds_other_special(name, kind);
  if (!blank && !other)
    return name;
  if (kind == interpreter_kind::cmd_exe || !other)
    return double_quoted(name, kind);
  return single_quoted(name);
}

std::string make_target_name(const std::string& name) {
  std::string target;
  std::size_t backslashes = 0;
  for (const char c : name) {
    if (c == ' ' || c == '\t') {
      target.append(backslashes, '\\');
      target += '\\';
    } else if (c == '#') {
      target += '\\';
    } else if (c == '$') {
      target += '$';
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
    target += c;
  }
  return target;
}
