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
// What a POSIX shell expands or ends inside a double-quoted span; for cmd.exe it is what it
// cannot carry at all.
const char posix_active_in_quotes[] = "$`\\\"";

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

// Where the quoted span of a name that its caller quoted itself ends: the name begins with a
// double quote and the span holds nothing the interpreter expands or ends, and what follows the
// span needs no quoting. npos for any other name. The run-time would read backslashes before
// the closing quote as escapes, so on cmd.exe the span may not end in one.
std::string::size_type pre_quoted_span_end(const std::string& name, interpreter_kind kind) {
  if (name.empty() || name[0] != '"')
    return std::string::npos;
  const std::string::size_type close = name.find('"', 1);
  if (close == std::string::npos)
    return std::string::npos;
  const std::string inside = name.substr(1, close - 1);
  const std::string after = name.substr(close + 1);
  if (kind == interpreter_kind::cmd_exe) {
    if (holds_any(inside, cmd_exe_refused) || (!inside.empty() && inside.back() == '\\') ||
        holds_any(after, cmd_exe_refused))
      return std::string::npos;
  } else if (holds_any(inside, posix_active_in_quotes)) {
    return std::string::npos;
  }
  // '#' and '~' are special at the start of a word only, which `after` never is.
  if (after.find(' ') != std::string::npos ||
      holds_any(after, kind == interpreter_kind::cmd_exe ? cmd_exe_special : posix_special))
    return std::string::npos;
  return close;
}

// GNU tools read a word that begins with '-' as an option and one that begins with '@' as a
// file of further arguments.
bool tool_reads_as_option(char first) { return first == '-' || first == '@'; }

}  // namespace

bool is_pre_quoted_name(const std::string& name, interpreter_kind kind) {
  return pre_quoted_span_end(name, kind) != std::string::npos;
}

bool can_pass_file_name(const std::string& name, interpreter_kind kind) {
  return kind == interpreter_kind::posix_shell || !holds_any(name, cmd_exe_refused) ||
         is_pre_quoted_name(name, kind);
}

std::string quote_file_name(const std::string& name, interpreter_kind kind) {
  if (name.empty())
    return kind == interpreter_kind::posix_shell ? "''" : "\"\"";
  if (is_pre_quoted_name(name, kind))
    return name;
  const bool blank = name.find(' ') != std::string::npos;
  const bool other = holds_other_special(name, kind);
  if (!blank && !other)
    return name;
  if (kind == interpreter_kind::cmd_exe || !other)
    return double_quoted(name, kind);
  return single_quoted(name);
}

std::string quote_file_operand(const std::string& name, interpreter_kind kind) {
  const std::string here = kind == interpreter_kind::cmd_exe ? ".\\" : "./";
  const std::string::size_type close = pre_quoted_span_end(name, kind);
  if (close == std::string::npos) {
    const bool option_like = !name.empty() && tool_reads_as_option(name[0]);
    return quote_file_name(option_like ? here + name : name, kind);
  }
  // The tool receives the span's inside and what follows it. With the prefix in front that text
  // is quoted afresh: the prefix inside the span would end it in a backslash for cmd.exe.
  const std::string received = name.substr(1, close - 1) + name.substr(close + 1);
  if (!received.empty() && tool_reads_as_option(received[0]))
    return quote_file_name(here + received, kind);
  return name;
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
