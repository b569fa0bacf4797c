// The rules for commands longer than the command interpreter takes: the POSIX limit, the two
// interpreters' word splitting and the response-file text, read back as the GNU tools read it.
#include "text/long_commands.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/response_reader.h"

using words = std::vector<std::string>;

std::string repeated_words(const std::string& word, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += (i == 0 ? "" : " ") + word;
  return text;
}

TEST(LongCommands, PosixLimit) {
  const struct {
    std::size_t argument_limit, argument_space, environment_bytes;
    std::string command;
    std::size_t limit;
  } cases[] = {
      // The usual figures: one argument of 128 KiB binds.
      {131072, 2097152, 4000, "a b", 131071},
      // A small stack: the tool's execution binds, 3 + 131072 - (1000 + 4096 + 8 + 2 * 10).
      {131072, 131072, 1000, "a b", 125951},
      // Quotes are not passed on: one word of three characters.
      {131072, 131072, 1000, "'a b'", 125961},
      // Each word costs its pointer: 10,000 short words fit (39,999 <= 45,967), 11,000 do not
      // (43,999 > 37,967), far below the characters alone.
      {131072, 131072, 1000, repeated_words("-Dx", 10000), 45967},
      {131072, 131072, 1000, repeated_words("-Dx", 11000), 37967},
      // An environment that takes most of the space: 1 + 131072 - (120000 + 4096 + 8 + 10).
      {131072, 131072, 120000, "a", 6959},
      // An environment that fills the space leaves nothing.
      {131072, 131072, 131072, "a", 0},
      {131072, 131072, 200000, "a", 0},
      {0, 2097152, 0, "a", 0},
  };
  for (const auto& c : cases) {
    posix_exec_figures figures;
    figures.argument_limit = c.argument_limit;
    figures.argument_space = c.argument_space;
    figures.environment_bytes = c.environment_bytes;
    figures.pointer_size = 8;
    EXPECT_EQ(c.limit, posix_command_limit(c.command, figures))
        << c.argument_space << " " << c.environment_bytes << " " << c.command.substr(0, 20);
  }
  EXPECT_TRUE(command_fits(8191, 8191));
  EXPECT_FALSE(command_fits(8192, 8191));
  EXPECT_TRUE(command_fits(0, 0));
}

TEST(LongCommands, PosixWords) {
  const struct {
    std::string text;
    words split;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {" a.o  b.o\tc.o\nd.o ", {"a.o", "b.o", "c.o", "d.o"}},
      {" \"my file.o\" x.o", {"my file.o", "x.o"}},
      {" \"C:\\Users\\Jane Doe\\a.o\"", {"C:\\Users\\Jane Doe\\a.o"}},
      {" \"a\\\"b\\\\c\\$d\\x\"", {"a\"b\\c$d\\x"}},
      {" 'it''s' 'a \"b\" \\c'", {"its", "a \"b\" \\c"}},
      {" back\\slash\\ blank.o", {"backslash blank.o"}},
      {" a\\\nb \"c\\\nd\"", {"ab", "cd"}},
      {" \\\n x", {"x"}},
      {" \"\" ''", {"", ""}},
      {" pre\"mid dle\"post", {"premid dlepost"}},
      {" \"open quote", {"open quote"}},
      {" 'open", {"open"}},
      {" trailing\\", {"trailing"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.split, split_posix_words(c.text)) << c.text;
}

TEST(LongCommands, WindowsWords) {
  const struct {
    std::string text;
    words split;
  } cases[] = {
      {"", {}},
      {" a.o  b.o\tc.o ", {"a.o", "b.o", "c.o"}},
      {" \"my file.o\" x.o", {"my file.o", "x.o"}},
      {" \"C:\\Users\\Jane Doe\\a.o\" C:\\x\\y.o", {"C:\\Users\\Jane Doe\\a.o", "C:\\x\\y.o"}},
      {" a\\\\\"b c\" d", {"a\\b c", "d"}},  // 2 backslashes: one, and the quote groups
      {" a\\\"b c", {"a\"b", "c"}},          // 1 backslash: a literal quote
      {" a\\\\\\\"b", {"a\\\"b"}},           // 3 backslashes: one and a literal quote
      {" \"dir\\\\\" x", {"dir\\", "x"}},
      {" 'single quotes' stay", {"'single", "quotes'", "stay"}},
      {" \"\" x", {"", "x"}},
      {" \"a \"\"b\"\" c\" d", {"a \"b\" c", "d"}},  // "" inside quotes: a literal quote
      {" \"open quote", {"open quote"}},
      {" line\nfeed", {"line\nfeed"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.split, split_windows_words(c.text)) << c.text;
}

TEST(LongCommands, ResponseFileText) {
  EXPECT_EQ("", response_file_text({}));
  EXPECT_EQ("a.o\nlib/b.a\n", response_file_text({"a.o", "lib/b.a"}));
  EXPECT_EQ("my\\ file.o\nC:\\\\Users\\\\Jane\\ Doe\\\\a.o\n",
            response_file_text({"my file.o", "C:\\Users\\Jane Doe\\a.o"}));
  EXPECT_EQ("it\\'s\\\"q\\\"\\\ttab\n\"\"\n", response_file_text({"it's\"q\"\ttab", ""}));
}

TEST(LongCommands, ResponseFileReadsBackWhole) {
  const words names = {"a.o",
                       "my file.o",
                       "C:\\Users\\Jane Doe\\obj\\x.o",
                       "\\\\server\\share\\y.obj",
                       "trailing\\",
                       "it's \"quoted\"",
                       "tab\there",
                       "line\nfeed\r",
                       "",
                       "@not-a-file",
                       "-lm",
                       "\x80\xff bytes.o"};
  EXPECT_EQ(names, read_response_arguments(response_file_text(names)));
}

TEST(LongCommands, RandomArgumentsReadBackWhole) {
  // Any bytes but NUL, which no argument can hold; a fixed seed keeps failures repeatable.
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    words arguments(random() % 8);
    for (std::string& argument : arguments) {
      argument.resize(random() % 12);
      for (char& c : argument)
        c = static_cast<char>(1 + random() % 255);
    }
    EXPECT_EQ(arguments, read_response_arguments(response_file_text(arguments))) << round;
  }
}

TEST(LongCommands, SplitThenWriteKeepsWhatTheInterpreterWouldPass) {
  // The object and library lists as zrvbuild composes them: every entry blank-led, names with
  // blanks in double quotes.
  const std::string lists = " a.o \"my dir/b c.o\" \"C:\\Jane Doe\\d.o\"  libx.a \"my lib.a\"";
  const words posix = {"a.o", "my dir/b c.o", "C:\\Jane Doe\\d.o", "libx.a", "my lib.a"};
  EXPECT_EQ(posix, read_response_arguments(response_file_text(split_posix_words(lists))));
  EXPECT_EQ(posix, read_response_arguments(response_file_text(split_windows_words(lists))));
}
