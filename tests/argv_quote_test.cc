// The Windows re-quoting of program arguments: fixed cases, and a round trip through the
// command-line splitting rule of the Windows C run-time for every short argument over the
// characters that matter.
#include "platform/argv_quote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ArgvQuote, Cases) {
  const struct {
    std::string argument;
    std::string quoted;
  } cases[] = {
      {"a b", "\"a b\""},
      {"a\"b", "a\\\"b"},
      {"a\\\"b", "a\\\\\\\"b"},
      {"a\\b", "a\\b"},
      {"x y\\", "\"x y\\\\\""},
      {"", "\"\""},
      {"plain", "plain"},
      {"C:\\Program Files\\Z\\", "\"C:\\Program Files\\Z\\\\\""},
      {"C:\\dir\\", "C:\\dir\\"},  // no blank: trailing backslashes stay as they are
      {"\"", "\\\""},
      {"\\\\\"", "\\\\\\\\\\\""},  // two backslashes and a quote: five and the quote
      {"a\\\\b\"", "a\\\\b\\\""},  // a letter ends the run of backslashes
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {" ", "\" \""},
      {"a\tb", "\"a\tb\""},
      {"line\nbreak", "\"line\nbreak\""},
      {std::string("\x01", 1), "\"\x01\""},
      {"\x1f", "\"\x1f\""},
      {"del\x7f", "del\x7f"},  // 127 is not a control character here
      {"caf\xc3\xa9", "caf\xc3\xa9"},
      {"-DNAME=\"v\"", "-DNAME=\\\"v\\\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.quoted, quote_windows_argument(c.argument)) << c.argument;
}

namespace {

// Splits a command line the way the Windows C run-time does: blanks and tabs separate
// arguments outside double quotes; 2n backslashes before a quote give n backslashes and the
// quote toggles quoting, 2n+1 give n backslashes and a literal quote; other backslashes are
// literal.
std::vector<std::string> split_windows_command_line(const std::string& line) {
  std::vector<std::string> arguments;
  std::string::size_type i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    if (i == line.size())
      return arguments;
    std::string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        std::string::size_type run = 0;
        while (i < line.size() && line[i] == '\\')
          ++run, ++i;
        if (i < line.size() && line[i] == '"') {
          argument.append(run / 2, '\\');
          if (run % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(run, '\\');
        }
      } else if (line[i] == '"') {
        quoted = !quoted;
        ++i;
      } else {
        argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
}

}  // namespace

TEST(ArgvQuote, RoundTripThroughTheRunTimeSplitter) {
  const std::string alphabet = std::string("a \"\\\t", 5);
  std::vector<std::string> arguments = {""};
  for (std::string::size_type begin = 0, length = 0; length < 5; ++length) {
    const std::string::size_type end = arguments.size();
    for (std::string::size_type i = begin; i < end; ++i) {
      for (char c : alphabet)
        arguments.push_back(arguments[i] + c);
    }
    begin = end;
  }
  ASSERT_EQ(1u + 5 + 25 + 125 + 625 + 3125, arguments.size());
  for (const std::string& argument : arguments) {
    // Each argument between two neighbours, as it sits in a spawned program's command line.
    const std::string line = "prog " + quote_windows_argument(argument) + " next";
    const std::vector<std::string> expected = {"prog", argument, "next"};
    ASSERT_EQ(expected, split_windows_command_line(line)) << "[" << argument << "]";
  }
}
