// The bash completion, driven the way bash drives it: COMP_WORDS and COMP_CWORD set, the
// completion function called, COMPREPLY read back, in a directory of sample files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "support/help_lists.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

const std::string completion_script =
    std::string(ZRVBUILD_SOURCE_DIR) + "/completions/zrvbuild.bash";

// COMPREPLY, sorted, for the command line `words` with the cursor on word `cword`.
std::vector<std::string> complete(const std::vector<std::string>& words, int cword,
                                  const std::string& cwd) {
  std::vector<std::string> argv = {
      find_tool("bash"),
      "-c",
      "source \"$1\" || exit 1; shift; COMP_CWORD=$1; shift; COMP_WORDS=(\"$@\");"
      " _zrvbuild; printf '%s\\n' \"${COMPREPLY[@]}\"",
      "bash",
      completion_script,
      std::to_string(cword)};
  argv.insert(argv.end(), words.begin(), words.end());
  process_result r = run_program(argv, {std::string("PATH=") + tool_search_path()}, cwd);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("", r.err);
  std::vector<std::string> reply;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty())
      reply.push_back(line);
  std::sort(reply.begin(), reply.end());
  return reply;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class Completion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.c", "b.cc", "c.CPP", "d.c++", "e.f90", "f.F", "g.o", "h.a", "i.obj",
                             "j.lib", "my file.c", "notes.txt", "README", "x.Cpp"})
      write_file(dir.path(name), "");
    mkdir(dir.path("sub").c_str(), 0755);
    write_file(dir.path("sub/inner.c"), "");
  }
  scratch_dir dir;
};

}  // namespace

TEST_F(Completion, WordsByPosition) {
  ZRV_NEED_TOOLS("bash");
  const struct {
    std::vector<std::string> words;
    int cword;
    std::vector<std::string> reply;
  } cases[] = {
      // Files by suffix (case included), and directories to descend into.
      {{"zrvbuild", ""},
       1,
       {"a.c", "b.cc", "c.CPP", "d.c++", "e.f90", "f.F", "g.o", "h.a", "i.obj", "j.lib",
        "my file.c", "sub"}},
      {{"zrvbuild", "-c", "m"}, 2, {"my file.c"}},
      {{"zrvbuild", "sub/"}, 1, {"sub/inner.c"}},
      {{"zrvbuild", "x"}, 1, {}},
      // Options.
      {{"zrvbuild", "--"},
       1,
       {"--compile", "--depend", "--dry-run", "--help", "--just-print", "--link-stand-alone",
        "--mex", "--output", "--print", "--strip", "--verbose", "--version"}},
      {{"zrvbuild", "--ver"}, 1, {"--verbose", "--version"}},
      {{"zrvbuild", "--vers"}, 1, {"--version"}},
      {{"zrvbuild", "-i"}, 1, {"-idirafter"}},
      {{"zrvbuild", "--s", "a.c"}, 1, {"--strip"}},
      // Variable names after each form of -p; the operand may already be begun.
      {{"zrvbuild", "-p", "CXX"}, 2, {"CXX", "CXXFLAGS", "CXXPICFLAG"}},
      {{"zrvbuild", "-print", "ZRV_"}, 2, {"ZRV_LINK_DEPS", "ZRV_LINK_OPTS"}},
      {{"zrvbuild", "-g", "--print", "FFTW3F"}, 3, {"FFTW3F_LDFLAGS", "FFTW3F_LIBS"}},
      {{"zrvbuild", "-p", "cc"}, 2, {}},
      // Any file after -o, directories after -idirafter and glued to -I and -L.
      {{"zrvbuild", "--output", "n"}, 2, {"notes.txt"}},
      {{"zrvbuild", "-idirafter", ""}, 2, {"sub"}},
      {{"zrvbuild", "-I"}, 1, {"-Isub/"}},
      {{"zrvbuild", "a.c", "-Ls"}, 2, {"-Lsub/"}},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& word : c.words)
      line += "[" + word + "]";
    EXPECT_EQ(c.reply, complete(c.words, c.cword, dir.root)) << line << " at " << c.cword;
  }
}

TEST_F(Completion, EveryHelpVariableAfterPrint) {
  ZRV_NEED_TOOLS("bash");
  help_lists help = read_help_lists();
  ASSERT_EQ(54u, help.variables.size());
  for (const char* print : {"-p", "-print", "--print"})
    EXPECT_EQ(sorted(help.variables), complete({"zrvbuild", print, ""}, 2, dir.root)) << print;
}

// Every option the help text lists on its own (not glued to an operand such as -IDIR), and
// --version, which asks for the version line.
TEST_F(Completion, EveryStandaloneHelpOption) {
  ZRV_NEED_TOOLS("bash");
  std::vector<std::string> offered = complete({"zrvbuild", "-"}, 1, dir.root);
  int standalone = 0;
  for (const auto& entry : read_help_lists().option_entries) {
    for (const std::string& form : entry) {
      std::string option = form.substr(0, form.find(' '));
      bool glued = option.size() > 2 && option[1] != '-' && option != "-idirafter";
      if (glued)
        continue;
      ++standalone;
      EXPECT_TRUE(std::binary_search(offered.begin(), offered.end(), option)) << option;
    }
  }
  EXPECT_EQ(22, standalone);
  EXPECT_TRUE(std::binary_search(offered.begin(), offered.end(), "--version"));
  EXPECT_EQ(23u, offered.size());
}
