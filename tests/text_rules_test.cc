// The shared text rules on plain data.
#include "text/text_rules.h"

#include <gtest/gtest.h>

TEST(TextRules, QuoteIfBlank) {
  const struct {
    const char* text;
    const char* quoted;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"my file.o", "\"my file.o\""},
      {"\"already quoted.o\"", "\"already quoted.o\""},
      {"\"open only", "\"open only"},
      {"tab\there", "tab\there"},
      {"in\"side x", "\"in\"side x\""},
      {" ", "\" \""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.quoted, quote_if_blank(c.text)) << c.text;
}

TEST(TextRules, BasenameNoExt) {
  const struct {
    const char* name;
    const char* base;
  } cases[] = {
      {"src/foo.cc", "foo"},         {"a\\b.c", "b"},      {"../foo.c", "foo"},
      {"foo", "foo"},                {"src.d/foo", "src"}, {"dir/foo.c", "foo"},
      {"C:\\src\\bar.cpp", "bar"},   {"a.b/c.f90", "c"},   {"rel.2/solverf90", "rel"},
      {"noext", "noext"},            {"x/y\\z.tar.gz", "z.tar"}, {".hidden", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.base, basename_no_ext(c.name)) << c.name;
}

TEST(TextRules, LinkedExecutableName) {
  const struct {
    const char* name;
    const char* suffix;
    const char* written;
  } cases[] = {
      {"prog", ".exe", "prog.exe"},
      {"prog.exe", ".exe", "prog.exe"},
      {"prog.bin", ".exe", "prog.bin"},  // any extension stays
      {"prog.", ".exe", "prog."},
      {"out.d/prog", ".exe", "out.d/prog.exe"},  // a dot in a directory does not count
      {"out.d\\prog", ".exe", "out.d\\prog.exe"},
      {"C:\\Jane Doe\\my p", ".exe", "C:\\Jane Doe\\my p.exe"},
      {"..\\prog", ".exe", "..\\prog.exe"},
      {"prog", "", "prog"},  // no suffix where executables have none
      {"out.d/prog", "", "out.d/prog"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.written, linked_executable_name(c.name, c.suffix)) << c.name;
}

TEST(TextRules, TruthAndAffixes) {
  EXPECT_TRUE(is_true("yes"));
  EXPECT_TRUE(is_true("true"));
  EXPECT_FALSE(is_true("Yes"));
  EXPECT_FALSE(is_true(" true"));
  EXPECT_FALSE(is_true("1"));
  EXPECT_FALSE(is_true("false"));
  EXPECT_TRUE(starts_with("-Ifoo", "-I"));
  EXPECT_FALSE(starts_with("-", "-I"));
  EXPECT_TRUE(ends_with("a.c", ".c"));
  EXPECT_FALSE(ends_with("c", ".c"));
  EXPECT_FALSE(ends_with("main.Cpp", ".cpp"));
  EXPECT_TRUE(ends_with("", ""));
}
