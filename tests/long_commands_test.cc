// The rules for commands longer than the command interpreter takes: the POSIX limit, the two
// interpreters' word splitting and the response-file text, read back as the GNU tools read it.
#include "text/long_commands.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/response_reader.h"

using words = std::vector<std::string>;

TEST(LongCommands, PosixLimit) {
  const struct {
    std::size_t argument_limit, argument_space, environment_bytes, limit;
  } cases[] = {
      // The usual figures: one argument of 128 KiB binds.
      {131072, 2097152, 4000, 131071},
      {131072, 2097152, 0, 131071},
      // A small stack: half of what is left after the environment and the shell's arguments.
      {131072, 131072, 1024, (131072 - 1024 - 256) / 2},
      // An environment that fills the space leaves nothing.
      {131072, 131072, 131072, 0},
      {131072, 131072, 200000, 0},
      {0, 2097152, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.limit, posix_command_limit(c.argument_limit, c.argument_space, c.environment_bytes))
        << c.argument_space << " " << c.environment_bytes;
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
