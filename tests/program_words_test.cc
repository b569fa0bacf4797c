// Which words of a command are its programs, and where the interpreter looks for each.
#include "text/program_words.h"

#include <gtest/gtest.h>

TEST(ProgramWords, LaunchersAndTheProgramTheyStart) {
  const struct {
    std::vector<std::string> words;
    std::vector<std::string> programs;
  } cases[] = {
      {{"gcc", "-c", "a.c"}, {"gcc"}},
      {{"ccache", "gcc", "-c", "a.c"}, {"ccache", "gcc"}},
      {{"distcc", "g++", "-c", "a.cc"}, {"distcc", "g++"}},
      {{"ccache", "distcc", "gcc", "-c"}, {"ccache", "distcc", "gcc"}},
      {{"/usr/lib/ccache/ccache", "/opt/gcc/bin/gcc"}, {"/usr/lib/ccache/ccache", "/opt/gcc/bin/gcc"}},
      {{"C:\\tools\\sccache.exe", "cl"}, {"C:\\tools\\sccache.exe", "cl"}},
      {{"icecc", "gfortran", "-c", "f.f90"}, {"icecc", "gfortran"}},
      // A launcher's own option, or a launcher alone: the launcher is the program.
      {{"ccache", "-s"}, {"ccache"}},
      {{"distcc"}, {"distcc"}},
      // Words that merely contain a launcher's name are programs like any other.
      {{"ccache-gcc", "-c"}, {"ccache-gcc"}},
      {{"gcc", "ccache"}, {"gcc"}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.programs, program_words(c.words)) << (c.words.empty() ? "" : c.words[0]);
  }
}

TEST(ProgramWords, CandidatesInTheInterpretersOrder) {
  const struct {
    const char* word;
    const char* path;
    char separator;
    std::vector<std::string> extensions;
    bool windows_names;
    std::vector<std::string> candidates;
  } cases[] = {
      {"gcc", "/a:/b/", ':', {}, false, {"/a/gcc", "/b//gcc"}},
      // An empty directory, at either end or in the middle, is the current one.
      {"gcc", ":/a::/b:", ':', {}, false, {"gcc", "/a/gcc", "gcc", "/b/gcc", "gcc"}},
      {"gcc", "", ':', {}, false, {"gcc"}},
      // A word with a slash is not searched for.
      {"./gcc", "/a:/b", ':', {}, false, {"./gcc"}},
      {"/usr/bin/gcc", "/a", ':', {}, false, {"/usr/bin/gcc"}},
      {"bin\\gcc", "/a", ':', {}, false, {"/a/bin\\gcc"}},
      // Windows: backslashes and drive colons place a word; extensions are tried after it.
      {"gcc", ".;C:\\mingw\\bin", ';', {".EXE", ".BAT"}, true,
       {"./gcc", "./gcc.EXE", "./gcc.BAT", "C:\\mingw\\bin/gcc", "C:\\mingw\\bin/gcc.EXE",
        "C:\\mingw\\bin/gcc.BAT"}},
      {"C:gcc.exe", "C:\\x", ';', {".EXE"}, true, {"C:gcc.exe", "C:gcc.exe.EXE"}},
      {"bin\\gcc", "C:\\x", ';', {}, true, {"bin\\gcc"}},
      {"", "/a", ':', {}, false, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.candidates,
              program_candidates(c.word, c.path, c.separator, c.extensions, c.windows_names))
        << c.word << " in " << c.path;
  }
}
