// The dependency-file rules on plain data: reading lines, rewriting rule lines, composing the
// command that prints the rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "phases/depend.h"

namespace {

using namespace std::string_literals;

// Reads the stream the way the phase does: one line per read until end of file is reached.
std::vector<std::string> read_all_lines(const std::string& content) {
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr)
    return {"<no temporary file>"};
  std::fwrite(content.data(), 1, content.size(), stream);
  std::rewind(stream);
  std::vector<std::string> lines;
  while (!std::feof(stream))
    lines.push_back(read_line(stream));
  std::fclose(stream);
  return lines;
}

}  // namespace

TEST(DependRules, ReadLine) {
  const std::string h100(100, 'h'), h101(101, 'i'), h300(300, 'j'), h200k(200000, 'k');
  const struct {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {"empty", "", {""}},
      {"ends with a line end", "a\n", {"a", ""}},
      {"no final line end", "a", {"a"}},
      {"empty lines", "\n\n", {"", "", ""}},
      {"carriage return and NUL stay", "a\r\nb\0c\n\0"s, {"a\r", "b\0c"s, "\0"s}},
      {"lone carriage returns do not end a line", "a\rb\r", {"a\rb\r"}},
      {"100 and 101 bytes", h100 + "\n" + h101, {h100, h101}},
      {"a short line after a long one", h300 + "\nz\n", {h300, "z", ""}},
      {"over 100,000 bytes", h200k + "\n" + h100, {h200k, h100}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.lines, read_all_lines(c.content)) << c.name;
}

TEST(DependRules, RewriteDependencyLine) {
  const struct {
    std::string line;
    const char* dep_file;
    std::string rewritten;
  } cases[] = {
      {"foo.o: src/foo.cc foo.h", "foo.d", "pic/foo.o foo.o foo.d: src/foo.cc foo.h"},
      {"obj/foo.o: src/foo.cc foo.h", "foo.d", "pic/foo.o foo.o foo.d: src/foo.cc foo.h"},
      {"a/b/./foo.o: x.c", "x.d", "pic/foo.o foo.o x.d: x.c"},
      {"obj\\foo.o: a.c", "a.d", "pic/obj\\foo.o obj\\foo.o a.d: a.c"},
      // The last ".o:" decides; a '/' after it does not count.
      {"x.o: y.o: z", "d.d", "pic/x.o: y.o x.o: y.o d.d: z"},
      {"a/b/c.o: x.o: y.o: z/w.h", "d.d", "pic/c.o: x.o: y.o c.o: x.o: y.o d.d: z/w.h"},
      {"foo.o: dir/bar.o:baz", "f.d", "pic/bar.o bar.o f.d:baz"},
      {"dir/foo.o: a/b.c c/d.h", "foo.d", "pic/foo.o foo.o foo.d: a/b.c c/d.h"},
      {"foo.o: foo.c \\", "foo.d", "pic/foo.o foo.o foo.d: foo.c \\"},
      {"foo.o:", "foo.d", "pic/foo.o foo.o foo.d:"},
      {".o: x", "d.d", "pic/.o .o d.d: x"},
      {"dir/.o: x", "d.d", "pic/.o .o d.d: x"},
      {"foo.o: foo.c\r", "foo.d", "pic/foo.o foo.o foo.d: foo.c\r"},
      {"a\0b.o: c\0d"s, "e.d", "pic/a\0b.o a\0b.o e.d: c\0d"s},
      // The dependency file is named as make reads it, as the compiler names the object.
      {"my\\ file.o: my\\ file.c", "my file.d",
       "pic/my\\ file.o my\\ file.o my\\ file.d: my\\ file.c"},
      {"a$$b.o: a$$b.c", "a$b.d", "pic/a$$b.o a$$b.o a$$b.d: a$$b.c"},
      {"\\#x.o: \\#x.c", "#x.d", "pic/\\#x.o \\#x.o \\#x.d: \\#x.c"},
      // No ".o:": copied as it is.
      {"", "foo.d", ""},
      {"  include/a.h include/b.h \\", "foo.d", "  include/a.h include/b.h \\"},
      {"foo.obj: foo.c", "foo.d", "foo.obj: foo.c"},
      {"foo.o : foo.c", "foo.d", "foo.o : foo.c"},
      {"foo.O: foo.c", "foo.d", "foo.O: foo.c"},
      {"\r", "foo.d", "\r"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.rewritten, rewrite_dependency_line(c.line, c.dep_file)) << c.line;
  }
}

TEST(DependRules, ComposeDependCommand) {
  variable_table table = {{"CC", "cc -std=x"},
                          {"CXX", "cxx"},
                          {"DEPEND_FLAGS", "-M"},
                          {"CPPFLAGS", "-Ipre"},
                          {"ALL_CFLAGS", "-Ic  -pthread -O2"},
                          {"ALL_CXXFLAGS", "-Icxx"},
                          {"ALL_FFLAGS", "-Ifortran"}};
  run_state plain;
  run_state with_flags;
  with_flags.include_flags = " -Ia -idirafter b \"-Imy dir\" -I.";
  with_flags.define_flags = " -DX=1 -DMEX_DEBUG";
  with_flags.pass_on_flags = " -Wall";
  with_flags.linker_flags = " -lm";
  const struct {
    bool is_cxx;
    const char* source;
    const run_state& run;
    const char* command;
  } cases[] = {
      {false, "a.c", plain, "cc -std=x -M -Ipre -Ic  -pthread -O2   a.c"},
      {true, "src/b.cc", plain, "cxx -M -Ipre -Icxx   src/b.cc"},
      {false, "my dir/foo.c", plain, "cc -std=x -M -Ipre -Ic  -pthread -O2   \"my dir/foo.c\""},
      {true, "b.cc", with_flags,
       "cxx -M -Ipre -Icxx  -Ia -idirafter b \"-Imy dir\" -I.  -DX=1 -DMEX_DEBUG b.cc"},
      {false, "\"my dir/q.c", plain, "cc -std=x -M -Ipre -Ic  -pthread -O2   '\"my dir/q.c'"},
  };
  for (const auto& c : cases) {
#ifdef _WIN32
    // A name holding a quote is refused on Windows before anything is composed.
    if (std::string(c.source).find('"') != std::string::npos)
      continue;
#endif
    EXPECT_EQ(c.command, compose_depend_command(c.is_cxx, c.source, c.run, table)) << c.source;
  }

  // Every separating blank stays when the pieces are empty; names missing from the table read
  // as empty.
  variable_table empty;
  EXPECT_EQ("      a.c", compose_depend_command(false, "a.c", plain, empty));
  EXPECT_EQ("      \"a b.cc\"", compose_depend_command(true, "a b.cc", plain, empty));
}
