// How file names are written into commands for a POSIX shell and for cmd.exe, read back as each
// interpreter and the tools behind it read them; and file names as make targets.
#include "text/name_quoting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/long_commands.h"

using namespace std::string_literals;
using words = std::vector<std::string>;

namespace {

const char* const refused = nullptr;

// A name with its text in a command for each interpreter; refused when cmd.exe cannot carry it.
struct placed_name {
  std::string name;
  std::string posix;
  const char* cmd_exe;
};

const placed_name placed_names[] = {
    // Nothing special: the bytes stay.
    {"plain.c", "plain.c", "plain.c"},
    {"sub/dir\\x.c", "'sub/dir\\x.c'", "sub/dir\\x.c"},
    {"-lead.c", "-lead.c", "-lead.c"},
    {"na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.c"},
    {"mid#hash~1.c", "mid#hash~1.c", "mid#hash~1.c"},
    {"eq=comma,bang!at@plus+.c", "eq=comma,bang!at@plus+.c", "eq=comma,bang!at@plus+.c"},
    {"dir\\", "'dir\\'", "dir\\"},
    // A blank and nothing else: double quotes, as always.
    {"my file.c", "\"my file.c\"", "\"my file.c\""},
    {" ", "\" \"", "\" \""},
    // Shell syntax in a name.
    {"a;>PWNED;.c", "'a;>PWNED;.c'", "\"a;>PWNED;.c\""},
    {"my $(>PWNED2).c", "'my $(>PWNED2).c'", "\"my $(>PWNED2).c\""},
    {"semi;colon.c", "'semi;colon.c'", "semi;colon.c"},
    {"a$b.c", "'a$b.c'", "a$b.c"},
    {"it's.c", "'it'\\''s.c'", "it's.c"},
    {"''", "''\\'''\\'''", "''"},
    {"x&y.c", "'x&y.c'", "\"x&y.c\""},
    {"p(q).c", "'p(q).c'", "\"p(q).c\""},
    {"lt<gt>.c", "'lt<gt>.c'", "\"lt<gt>.c\""},
    {"pipe|d.c", "'pipe|d.c'", "\"pipe|d.c\""},
    {"star*.c", "'star*.c'", "\"star*.c\""},
    {"what?.c", "'what?.c'", "\"what?.c\""},
    {"set[ab].c", "'set[ab].c'", "set[ab].c"},
    {"brace{a,b}.c", "'brace{a,b}.c'", "brace{a,b}.c"},
    {"back`tick`.c", "'back`tick`.c'", "back`tick`.c"},
    {"back\\slash.c", "'back\\slash.c'", "back\\slash.c"},
    {"caret^.c", "caret^.c", "\"caret^.c\""},
    {"#hash.c", "'#hash.c'", "#hash.c"},
    {"~tilde.c", "'~tilde.c'", "~tilde.c"},
    {"tab\tt.c", "'tab\tt.c'", "\"tab\tt.c\""},
    {"my dir\\", "'my dir\\'", "\"my dir\\\\\""},
    {"a (b)\\\\", "'a (b)\\\\'", "\"a (b)\\\\\\\\\""},
    {"", "''", "\"\""},
    // What cmd.exe cannot carry.
    {"q\"uote.c", "'q\"uote.c'", refused},
    {"\"q s.cc", "'\"q s.cc'", refused},
    {"100%.c", "100%.c", refused},
    {"%PATH%.c", "%PATH%.c", refused},
    {"new\nline.c", "'new\nline.c'", refused},
    {"cr\r.c", "cr\r.c", refused},
};

// What cmd.exe hands to the program it starts for a command line that runs one program: the
// text with the carets that escape outside quotes removed. False when cmd.exe would act on the
// text itself: a percent sign (expanded inside quotes too), an operator or parenthesis outside
// quotes, a line end, or quotes left open.
bool cmd_exe_hands_on(const std::string& text, std::string& handed) {
  handed.clear();
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' || c == '\n' || c == '\r')
      return false;
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '^') {
      if (++i == text.size())
        return false;
      handed += text[i];
      continue;
    } else if (!quoted && std::string("&|<>()").find(c) != std::string::npos) {
      return false;
    }
    handed += c;
  }
  return !quoted;
}

}  // namespace

TEST(NameQuoting, PosixShell) {
  for (const placed_name& c : placed_names) {
    EXPECT_TRUE(can_pass_file_name(c.name, interpreter_kind::posix_shell)) << c.name;
    EXPECT_EQ(c.posix, quote_file_name(c.name, interpreter_kind::posix_shell)) << c.name;
  }
}

TEST(NameQuoting, CmdExe) {
  for (const placed_name& c : placed_names) {
    EXPECT_EQ(c.cmd_exe != refused, can_pass_file_name(c.name, interpreter_kind::cmd_exe))
        << c.name;
    if (c.cmd_exe != refused) {
      EXPECT_EQ(c.cmd_exe, quote_file_name(c.name, interpreter_kind::cmd_exe)) << c.name;
    }
  }
}

// Between other words of a command, each name comes back as one word, itself.
TEST(NameQuoting, PosixShellGivesEveryNameBackWhole) {
  for (const placed_name& c : placed_names) {
    const std::string command = "tool -c " +
                                quote_file_name(c.name, interpreter_kind::posix_shell) + " -o " +
                                quote_file_name(c.name, interpreter_kind::posix_shell);
    EXPECT_EQ((words{"tool", "-c", c.name, "-o", c.name}), split_posix_words(command)) << c.name;
  }
}

TEST(NameQuoting, CmdExeAndTheRunTimeGiveEveryNameBackWhole) {
  for (const placed_name& c : placed_names) {
    if (!can_pass_file_name(c.name, interpreter_kind::cmd_exe))
      continue;
    const std::string command = "tool -c " + quote_file_name(c.name, interpreter_kind::cmd_exe) +
                                " -o " + quote_file_name(c.name, interpreter_kind::cmd_exe);
    std::string handed;
    ASSERT_TRUE(cmd_exe_hands_on(command, handed)) << c.name;
    EXPECT_EQ((words{"tool", "-c", c.name, "-o", c.name}), split_windows_words(handed)) << c.name;
  }
}

// Any byte string: a POSIX shell gives it back; cmd.exe either gives it back or it is refused.
TEST(NameQuoting, EveryByteAroundEveryOther) {
  for (int first = 1; first < 256; ++first) {
    for (const char* around : {"", "a", " ", "\\", "'", "\""}) {
      const std::string name = around + std::string(1, static_cast<char>(first)) + "x" + around;
      EXPECT_EQ(words{name},
                split_posix_words(quote_file_name(name, interpreter_kind::posix_shell)))
          << first << around;
      if (!can_pass_file_name(name, interpreter_kind::cmd_exe))
        continue;
      std::string handed;
      ASSERT_TRUE(cmd_exe_hands_on(quote_file_name(name, interpreter_kind::cmd_exe), handed))
          << first << around;
      EXPECT_EQ(words{name}, split_windows_words(handed)) << first << around;
    }
  }
}

TEST(NameQuoting, MakeTargetName) {
  const struct {
    std::string name;
    std::string target;
  } cases[] = {
      {"foo.d", "foo.d"},
      {"my file.d", "my\\ file.d"},
      {"tab\tt.d", "tab\\\tt.d"},
      {"a$b.d", "a$$b.d"},
      {"$(x).d", "$$(x).d"},
      {"h#x.d", "h\\#x.d"},
      {"tr\\ ail.d", "tr\\\\\\ ail.d"},
      {"two\\\\ x.d", "two\\\\\\\\\\ x.d"},
      {"back\\slash.d", "back\\slash.d"},
      {"it's;(x)&y.d", "it's;(x)&y.d"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.target, make_target_name(c.name)) << c.name;
}
