// Rules for commands longer than the command interpreter takes.
#include "text/long_commands.h"

#include <algorithm>

namespace {

// The path of the tool the shell starts, which the kernel copies too: a path's longest.
const long long tool_path_reserve = 4096;

bool is_separator(char c, bool with_line_feed) {
  return c == ' ' || c == '\t' || (with_line_feed && c == '\n');
}

}  // namespace

std::size_t posix_command_limit(const std::string& command, const posix_exec_figures& figures) {
  using size = long long;
  const size pointer = static_cast<size>(figures.pointer_size);
  const size space = static_cast<size>(figures.argument_space);
  const size environment = static_cast<size>(figures.environment_bytes);
  const size length = static_cast<size>(command.size());
  // The shell's execution: its path, "sh", "-c" and the command, each with its NUL and pointer.
  const size shell_fixed = size(sizeof "/bin/sh") + size(sizeof "sh") + size(sizeof "-c") +
                           3 * pointer + 1;
  const size by_shell = space - environment - shell_fixed - pointer;
  // The tool's execution: the words as the shell passes them on.
  size tool_bytes = environment + tool_path_reserve + pointer;
  for (const std::string& word : split_posix_words(command))
    tool_bytes += static_cast<size>(word.size()) + 1 + pointer;
  const size by_tool = length + (space - tool_bytes);
  const size one_argument = static_cast<size>(figures.argument_limit) - 1;
  const size limit = std::min(one_argument, std::min(by_shell, by_tool));
  return limit > 0 ? static_cast<std::size_t>(limit) : 0;
}

bool command_fits(std::size_t length, std::size_t limit) {
  return length <= limit;
}

std::vector<std::string> split_posix_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (is_separator(c, true)) {
      if (in_word)
        words.push_back(word);
      word.clear();
      in_word = false;
      continue;
    }
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;  // a line continuation
      continue;
    }
    in_word = true;
    if (c == '\\') {
      if (i + 1 < text.size())
        word += text[i + 1];
      ++i;
    } else if (c == '\'') {
      const std::size_t end = text.find('\'', i + 1);
      const std::size_t stop = end == std::string::npos ? text.size() : end;
      word.append(text, i + 1, stop - i - 1);
      i = stop;
    } else if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        const bool escapes = text[i] == '\\' && i + 1 < text.size() &&
                             std::string("$`\"\\\n").find(text[i + 1]) != std::string::npos;
        if (escapes)
          ++i;
        if (!(escapes && text[i] == '\n'))
          word += text[i];
      }
    } else {
      word += c;
    }
  }
  if (in_word)
    words.push_back(word);
  return words;
}

std::vector<std::string> split_windows_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!quoted && is_separator(c, false)) {
      if (in_word)
        words.push_back(word);
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\\') {
      std::size_t count = 0;
      for (; i < text.size() && text[i] == '\\'; ++i)
        ++count;
      if (i < text.size() && text[i] == '"') {
        word.append(count / 2, '\\');
        if (count % 2 == 1) {
          word += '"';
        } else {
          quoted = !quoted;
        }
      } else {
        word.append(count, '\\');
        --i;
      }
    } else if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
      word += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else {
      word += c;
    }
  }
  if (in_word)
    words.push_back(word);
  return words;
}

std::string response_file_text(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (argument.empty())
      text += "\"\"";
    for (const char c : argument) {
      if (std::string(" \t\r\n\v\f'\"\\").find(c) != std::string::npos)
        text += '\\';
      text += c;
    }
    text += '\n';
  }
  return text;
}
