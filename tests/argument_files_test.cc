// The arguments of an "@FILE" argument: the syntax on plain texts, and whatever zrvbuild writes
// into a link's response file read back whole.
#include "text/argument_files.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/response_reader.h"
#include "text/long_commands.h"

using words = std::vector<std::string>;

TEST(ArgumentFiles, NamesAnArgumentFile) {
  EXPECT_TRUE(names_argument_file("@args"));
  EXPECT_TRUE(names_argument_file("@C:\\Users\\Jane Doe\\args.rsp"));
  EXPECT_TRUE(names_argument_file("@@"));
  EXPECT_FALSE(names_argument_file("@"));
  EXPECT_FALSE(names_argument_file(""));
  EXPECT_FALSE(names_argument_file("args@"));
  EXPECT_FALSE(names_argument_file("-@args"));
}

TEST(ArgumentFiles, Words) {
  const struct {
    std::string text;
    words split;
  } cases[] = {
      {"", {}},
      {" \t\r\n\v\f", {}},
      {"a.c b.cc\tc.f90\nd.o\r\ne.a\vf.lib\fg.obj",
       {"a.c", "b.cc", "c.f90", "d.o", "e.a", "f.lib", "g.obj"}},
      {"\n\n  -o  out  \n", {"-o", "out"}},
      {"\"my file.c\" 'your file.c'", {"my file.c", "your file.c"}},
      {"\"it's\" 'say \"hi\"'", {"it's", "say \"hi\""}},
      {"pre\"mid dle\"post'and more'", {"premid dlepostand more"}},
      {"\"\" '' x", {"", "", "x"}},
      {"my\\ file.c", {"my file.c"}},
      {"C:\\\\Users\\\\Jane\\ Doe\\\\a.o", {"C:\\Users\\Jane Doe\\a.o"}},
      // Without the writer's escapes a backslash takes the next character, as GNU tools read.
      {"C:\\Users\\a.o", {"C:Usersa.o"}},
      {"\"a\\\"b\" 'c\\'d'", {"a\"b", "c'd"}},
      {"line\\\ncontinued", {"line\ncontinued"}},
      {"trailing\\", {"trailing"}},
      {"\\", {""}},
      {"\"open quote runs\n to the end", {"open quote runs\n to the end"}},
      {"'open", {"open"}},
      {"@nested.rsp -DX=@y", {"@nested.rsp", "-DX=@y"}},
      {"-Dname=\"x y\"", {"-Dname=x y"}},
      {"\xc3\xa9t\xc3\xa9.c \xe6\x9d\x8e.cc \x80\xff",
       {"\xc3\xa9t\xc3\xa9.c", "\xe6\x9d\x8e.cc", "\x80\xff"}},
      {std::string("a.c\0b.c", 7), {"a.c"}},
      {std::string("\0a.c", 4), {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.split, argument_file_words(c.text)) << c.text;
}

TEST(ArgumentFiles, ReadsBackTheLinksResponseFile) {
  const words names = {"a.o",
                       "my file.o",
                       "C:\\Users\\Jane Doe\\obj\\x.o",
                       "\\\\server\\share\\y.obj",
                       "trailing\\",
                       "it's \"quoted\"",
                       "tab\there",
                       "line\nfeed\r",
                       "\v\f",
                       "",
                       "@not-a-file",
                       "-lm",
                       "Zo\xc3\xab.o",
                       "\x80\xff bytes.o"};
  EXPECT_EQ(names, argument_file_words(response_file_text(names)));
}

TEST(ArgumentFiles, RandomArgumentsReadBackAsTheGnuToolsReadThem) {
  // Any bytes but NUL, which no argument can hold; a fixed seed keeps failures repeatable. The
  // tests' own reader is how the GNU tools read a response file.
  std::mt19937 random(25);
  for (int round = 0; round < 500; ++round) {
    words arguments(random() % 8);
    for (std::string& argument : arguments) {
      argument.resize(random() % 12);
      for (char& c : argument)
        c = static_cast<char>(1 + random() % 255);
    }
    const std::string text = response_file_text(arguments);
    EXPECT_EQ(arguments, argument_file_words(text)) << round;
    EXPECT_EQ(read_response_arguments(text), argument_file_words(text)) << round;
  }
}

TEST(ArgumentFiles, RandomTextsSplitAsTheGnuToolsSplitThem) {
  // Texts of the characters that matter, with no backslash at the very end (where the tests'
  // reader keeps it and the GNU tools drop it).
  const std::string alphabet = " \t\n\r'\"\\ab@";
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 16, ' ');
    for (char& c : text)
      c = alphabet[random() % alphabet.size()];
    if (!text.empty() && text.back() == '\\')
      text.back() = 'z';
    EXPECT_EQ(read_response_arguments(text), argument_file_words(text)) << text;
  }
}
