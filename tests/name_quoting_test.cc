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

namespace {

// What the tool receives for a name: a pre-quoted name without its two quotes, any other name
// itself.
std::string received(const std::string& name, interpreter_kind kind) {
  if (!is_pre_quoted_name(name, kind))
    return name;
  const std::string::size_type close = name.find('"', 1);
  return name.substr(1, close - 1) + name.substr(close + 1);
}

}  // namespace

// Any byte string: a POSIX shell gives it back (without the quotes its caller put in where it
// is pre-quoted); cmd.exe either does the same or it is refused.
TEST(NameQuoting, EveryByteAroundEveryOther) {
  for (int first = 1; first < 256; ++first) {
    for (const char* around : {"", "a", " ", "\\", "'", "\""}) {
      const std::string name = around + std::string(1, static_cast<char>(first)) + "x" + around;
      EXPECT_EQ(words{received(name, interpreter_kind::posix_shell)},
                split_posix_words(quote_file_name(name, interpreter_kind::posix_shell)))
          << first << around;
      if (!can_pass_file_name(name, interpreter_kind::cmd_exe))
        continue;
      std::string handed;
      ASSERT_TRUE(cmd_exe_hands_on(quote_file_name(name, interpreter_kind::cmd_exe), handed))
          << first << around;
      EXPECT_EQ(words{received(name, interpreter_kind::cmd_exe)}, split_windows_words(handed))
          << first << around;
    }
  }
}

namespace {

// A name that begins with a double quote, the text of the name as a file in a command for each
// interpreter (refused where cmd.exe cannot carry it), and what each tool receives.
struct pre_quoted_case {
  std::string name;
  std::string posix, posix_received;
  const char* cmd_exe;
  std::string cmd_exe_received;
};

const pre_quoted_case pre_quoted_cases[] = {
    // One span of nothing the interpreter expands or ends, then what needs no quoting: as it is.
    {"\"my file\".c", "\"my file\".c", "my file.c", "\"my file\".c", "my file.c"},
    {"\"my file\".o", "\"my file\".o", "my file.o", "\"my file\".o", "my file.o"},
    {"\"x\".c", "\"x\".c", "x.c", "\"x\".c", "x.c"},
    {"\"my module\"", "\"my module\"", "my module", "\"my module\"", "my module"},
    {"\"\"x.c", "\"\"x.c", "x.c", "\"\"x.c", "x.c"},
    {"\"na\xc3\xafve \xe6\x9d\x8e\".c", "\"na\xc3\xafve \xe6\x9d\x8e\".c",
     "na\xc3\xafve \xe6\x9d\x8e.c", "\"na\xc3\xafve \xe6\x9d\x8e\".c",
     "na\xc3\xafve \xe6\x9d\x8e.c"},
    {"\"a;b &c|(d)\".c", "\"a;b &c|(d)\".c", "a;b &c|(d).c", "\"a;b &c|(d)\".c", "a;b &c|(d).c"},
    {"\"it's\".c", "\"it's\".c", "it's.c", "\"it's\".c", "it's.c"},
    {"\"my dir\"/x.c", "\"my dir\"/x.c", "my dir/x.c", "\"my dir\"/x.c", "my dir/x.c"},
    // What the shell expands inside double quotes: the name is data for the shell. cmd.exe
    // expands none of it.
    {"\"my $(>PWNED)\".c", "'\"my $(>PWNED)\".c'", "\"my $(>PWNED)\".c", "\"my $(>PWNED)\".c",
     "my $(>PWNED).c"},
    {"\"$HOME\".c", "'\"$HOME\".c'", "\"$HOME\".c", "\"$HOME\".c", "$HOME.c"},
    {"\"back`id`tick\".c", "'\"back`id`tick\".c'", "\"back`id`tick\".c",
     "\"back`id`tick\".c", "back`id`tick.c"},
    {"\"back\\slash\".c", "'\"back\\slash\".c'", "\"back\\slash\".c",
     "\"back\\slash\".c", "back\\slash.c"},
    // cmd.exe expands % inside quotes and reads a backslash before the closing quote as an
    // escape: refused there.
    {"\"100%\".c", "\"100%\".c", "100%.c", refused, ""},
    {"\"my dir\\\"x.c", "'\"my dir\\\"x.c'", "\"my dir\\\"x.c", refused, ""},
    // Not one closed span followed by plain text: data, refused by cmd.exe.
    {"\"my file.c", "'\"my file.c'", "\"my file.c", refused, ""},
    {"\"a\"b\"c\".c", "'\"a\"b\"c\".c'", "\"a\"b\"c\".c", refused, ""},
    {"\"my\" \"file\".c", "'\"my\" \"file\".c'", "\"my\" \"file\".c", refused, ""},
    {"\"my file\"x y.c", "'\"my file\"x y.c'", "\"my file\"x y.c", refused, ""},
    {"\"my file\";x.c", "'\"my file\";x.c'", "\"my file\";x.c", "\"my file\";x.c",
     "my file;x.c"},
    {"\"my file\"&x.c", "'\"my file\"&x.c'", "\"my file\"&x.c", refused, ""},
    {"\"my file\".c$x", "'\"my file\".c$x'", "\"my file\".c$x", "\"my file\".c$x",
     "my file.c$x"},
    // A quote in the middle is no pre-quoting.
    {"my\" \"file.c", "'my\" \"file.c'", "my\" \"file.c", refused, ""},
    // What the tool would take for an option or a file of arguments: what it would receive,
    // behind the prefix, quoted afresh.
    {"\"-x y\".c", "\"./-x y.c\"", "./-x y.c", "\".\\-x y.c\"", ".\\-x y.c"},
    {"\"@x\".c", "./@x.c", "./@x.c", ".\\@x.c", ".\\@x.c"},
    {"\"\"-x.c", "./-x.c", "./-x.c", ".\\-x.c", ".\\-x.c"},
    {"\"-it's (a)\".c", "'./-it'\\''s (a).c'", "./-it's (a).c", "\".\\-it's (a).c\"",
     ".\\-it's (a).c"},
    {"\"-dir\\x\"", "'\"-dir\\x\"'", "\"-dir\\x\"", ".\\-dir\\x", ".\\-dir\\x"},
};

}  // namespace

TEST(NameQuoting, PreQuotedNames) {
  for (const pre_quoted_case& c : pre_quoted_cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.posix, quote_file_operand(c.name, interpreter_kind::posix_shell));
    EXPECT_EQ(words{c.posix_received}, split_posix_words(c.posix));
    EXPECT_EQ(c.cmd_exe != refused, can_pass_file_name(c.name, interpreter_kind::cmd_exe));
    if (c.cmd_exe == refused)
      continue;
    EXPECT_EQ(c.cmd_exe, quote_file_operand(c.name, interpreter_kind::cmd_exe));
    std::string handed;
    ASSERT_TRUE(cmd_exe_hands_on(c.cmd_exe, handed));
    EXPECT_EQ(words{c.cmd_exe_received}, split_windows_words(handed));
  }
}

// A name taken as a file that the tool would read as an option or a file of arguments gets
// "./" (".\" for cmd.exe) in front, quoted with the name; every other name stays as
// quote_file_name writes it.
TEST(NameQuoting, FileOperands) {
  const struct {
    std::string name, posix, cmd_exe;
  } cases[] = {
      {"-x.c", "./-x.c", ".\\-x.c"},
      {"@x.c", "./@x.c", ".\\@x.c"},
      {"-specs=evil.o", "./-specs=evil.o", ".\\-specs=evil.o"},
      {"@mod.zrv", "./@mod.zrv", ".\\@mod.zrv"},
      {"--help.f90", "./--help.f90", ".\\--help.f90"},
      {"-", "./-", ".\\-"},
      {"@", "./@", ".\\@"},
      {"-a b.c", "\"./-a b.c\"", "\".\\-a b.c\""},
      {"-it's.c", "'./-it'\\''s.c'", ".\\-it's.c"},
      {"@a&b.o", "'./@a&b.o'", "\".\\@a&b.o\""},
      {"-my dir\\", "'./-my dir\\'", "\".\\-my dir\\\\\""},
      {"-sub/x.c", "./-sub/x.c", ".\\-sub/x.c"},
      // Nothing for the tool to misread: unchanged.
      {"x-.c", "x-.c", "x-.c"},
      {"a@b.c", "a@b.c", "a@b.c"},
      {"./-x.c", "./-x.c", "./-x.c"},
      {".\\-x.c", "'.\\-x.c'", ".\\-x.c"},
      {"/abs/-x.c", "/abs/-x.c", "/abs/-x.c"},
      {"my file.c", "\"my file.c\"", "\"my file.c\""},
      {"", "''", "\"\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.posix, quote_file_operand(c.name, interpreter_kind::posix_shell));
    EXPECT_EQ(c.cmd_exe, quote_file_operand(c.name, interpreter_kind::cmd_exe));
  }
}

// Every byte string as a file: the tool receives one word, the name or the name after "./",
// never a word that begins with '-' or '@'.
TEST(NameQuoting, NoFileOperandReadsAsAnOption) {
  for (int first = 1; first < 256; ++first) {
    for (const char* lead : {"", "-", "@", "\"", "\"-", "\"\"@"}) {
      for (const char* tail : {"x", "\"x", " x\"", "\\"}) {
        const std::string name = lead + std::string(1, static_cast<char>(first)) + tail;
        const words posix =
            split_posix_words(quote_file_operand(name, interpreter_kind::posix_shell));
        ASSERT_EQ(1u, posix.size()) << name;
        EXPECT_TRUE(posix[0] == received(name, interpreter_kind::posix_shell) ||
                    posix[0] == "./" + received(name, interpreter_kind::posix_shell))
            << name;
        EXPECT_NE('-', posix[0][0]) << name;
        EXPECT_NE('@', posix[0][0]) << name;
        if (!can_pass_file_name(name, interpreter_kind::cmd_exe))
          continue;
        std::string handed;
        ASSERT_TRUE(
            cmd_exe_hands_on(quote_file_operand(name, interpreter_kind::cmd_exe), handed))
            << name;
        const words windows = split_windows_words(handed);
        ASSERT_EQ(1u, windows.size()) << name;
        EXPECT_TRUE(windows[0] == received(name, interpreter_kind::cmd_exe) ||
                    windows[0] == ".\\" + received(name, interpreter_kind::cmd_exe))
            << name;
        EXPECT_NE('-', windows[0][0]) << name;
        EXPECT_NE('@', windows[0][0]) << name;
      }
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
