// File names are data: names that hold shell syntax, blanks, tabs, line feeds, quotes,
// backslashes or non-ASCII letters, given to the real program. What a dry run prints, what each
// tool receives (one argument, the name itself), what the real tool chain builds from them,
// sequentially and in parallel, and what -M writes for make; and that no other file appears,
// whatever the names ask the shell to do. Names that their caller quoted reach the file the
// caller meant; names that begin with '-' or '@' reach the tool behind "./", never as an option
// or a file of arguments.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/token_flags.h"
#include "support/tools.h"
#include "text/long_commands.h"

namespace {

using words = std::vector<std::string>;
using names = std::set<std::string>;

// A C source, its object and module, and the text of each in a command of a POSIX shell.
struct hostile_name {
  std::string source, placed_source;
  std::string object, placed_object;
  std::string placed_module;
};

const hostile_name hostile_names[] = {
    {"a;>PWNED;.c", "'a;>PWNED;.c'", "a;>PWNED;.o", "'a;>PWNED;.o'", "'a;>PWNED;.zrv'"},
    {"my $(>PWNED2).c", "'my $(>PWNED2).c'", "my $(>PWNED2).o", "'my $(>PWNED2).o'",
     "'my $(>PWNED2).zrv'"},
    {"semi;colon.c", "'semi;colon.c'", "semi;colon.o", "'semi;colon.o'", "'semi;colon.zrv'"},
    {"a$b.c", "'a$b.c'", "a$b.o", "'a$b.o'", "'a$b.zrv'"},
    {"it's.c", "'it'\\''s.c'", "it's.o", "'it'\\''s.o'", "'it'\\''s.zrv'"},
    {"x&y.c", "'x&y.c'", "x&y.o", "'x&y.o'", "'x&y.zrv'"},
    {"p(q).c", "'p(q).c'", "p(q).o", "'p(q).o'", "'p(q).zrv'"},
    {"lt<gt>.c", "'lt<gt>.c'", "lt<gt>.o", "'lt<gt>.o'", "'lt<gt>.zrv'"},
    {"star*.c", "'star*.c'", "star*.o", "'star*.o'", "'star*.zrv'"},
    {"q\"uote.c", "'q\"uote.c'", "q\"uote.o", "'q\"uote.o'", "'q\"uote.zrv'"},
    // The object is named after what follows the backslash, as on Windows.
    {"back\\slash.c", "'back\\slash.c'", "slash.o", "slash.o", "slash.zrv"},
    {"#hash.c", "'#hash.c'", "#hash.o", "'#hash.o'", "'#hash.zrv'"},
    {"~tilde.c", "'~tilde.c'", "~tilde.o", "'~tilde.o'", "'~tilde.zrv'"},
    {"{a,b}.c", "'{a,b}.c'", "{a,b}.o", "'{a,b}.o'", "'{a,b}.zrv'"},
    {"new\nline.c", "'new\nline.c'", "new\nline.o", "'new\nline.o'", "'new\nline.zrv'"},
    {"tab\tt.c", "'tab\tt.c'", "tab\tt.o", "'tab\tt.o'", "'tab\tt.zrv'"},
    // Nothing special to the shell: the bytes stay as they always were.
    {"na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.o",
     "na\xc3\xafve-\xe6\x9d\x8e.o", "na\xc3\xafve-\xe6\x9d\x8e.zrv"},
    {".c", ".c", ".o", ".o", ".zrv"},
    {"plain.c", "plain.c", "plain.o", "plain.o", "plain.zrv"},
    // A blank and nothing else: double quotes, as always.
    {"my file.c", "\"my file.c\"", "my file.o", "\"my file.o\"", "\"my file.zrv\""},
};

// The variables as single tokens, so that every command and argument vector can be compared
// whole.
const std::vector<std::string> token_environment = token_environment_with(
    {"F77=gfortran", "CC=gcc", "CXX=g++", "DL_LD=dl-ld", "LD_CXX=ld-cxx"});

const std::string compile_c_head = "gcc -c -Icpp -fpic-c -Iinc -xc -O1    ";
const std::string module_link_head = "dl-ld -Iinc -xcxx -O2 -shared  -o ";
const std::string link_tail = "   -Llib -lzrvinterp -lzorvan -zo -zd";
const words compile_c_args = {"gcc", "-c", "-Icpp", "-fpic-c", "-Iinc", "-xc", "-O1"};
const words compile_cxx_args = {"g++", "-c", "-Icpp", "-fpic-x", "-Iinc", "-xcxx", "-O2"};
const words compile_f_args = {"gfortran", "-c", "-fpic-f", "-O3", "-i8"};
const words module_link_args = {"dl-ld", "-Iinc", "-xcxx", "-O2", "-shared"};
const words link_tail_args = {"-Llib", "-lzrvinterp", "-lzorvan", "-zo", "-zd"};

words operator+(words head, const words& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The names in a directory, "." and ".." left out.
names directory_names(const std::string& path) {
  names found;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr)
    return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      found.insert(name);
  }
  closedir(dir);
  return found;
}

// Fake tools, outside the directory they work in, that record their whole argument vectors
// (NUL-separated, so that no byte of a name is lost) and create the file named after -o.
struct recording_tools {
  scratch_dir tools;
  scratch_dir work;

  recording_tools() {
    mkdir(tools.path("bin").c_str(), 0755);
    for (const char* tool : {"gfortran", "gcc", "g++", "dl-ld", "ld-cxx", "strip"}) {
      // The record is written whole to a file of its own first and then appended in one
      // write, so that tools running at once never mix their records.
      const std::string log = "'" + tools.path("argv.log") + "'";
      write_script(tools.path(std::string("bin/") + tool),
                   "record=" + log +
                       ".$$\n"
                       "printf '%s\\0%s\\0' '" +
                       std::string(tool) +
                       "' \"$#\" > \"$record\"\n"
                       "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$record\"; done\n"
                       "cat \"$record\" >> " +
                       log +
                       " && rm \"$record\"\n"
                       "out=; prev=\n"
                       "for a in \"$@\"; do if [ \"$prev\" = -o ]; then out=$a; fi; prev=$a; done\n"
                       "if [ -n \"$out\" ]; then : > \"$out\" || exit 1; fi\n");
    }
  }

  // Creates each file in the working directory, empty.
  void create(const std::vector<std::string>& files) const {
    for (const std::string& file : files)
      write_file(work.path(file), "");
  }

  process_result run(const std::vector<std::string>& args,
                     const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> environment = {"PATH=" + tools.path("bin") + ":/usr/bin:/bin"};
    environment.insert(environment.end(), token_environment.begin(), token_environment.end());
    environment.insert(environment.end(), extra.begin(), extra.end());
    return run_zrvbuild(args, environment, work.root);
  }

  // Every tool's argument vector, its own name first, in the order they ran.
  std::vector<words> ran() const {
    std::vector<words> vectors;
    if (!file_exists(tools.path("argv.log")))
      return vectors;
    const std::string log = read_file(tools.path("argv.log"));
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = log.find('\0', start)) != std::string::npos;
         start = end + 1)
      fields.push_back(log.substr(start, end - start));
    for (std::size_t i = 0; i + 1 < fields.size();) {
      const std::size_t count = std::stoul(fields[i + 1]);
      words vector = {fields[i]};
      vector.insert(vector.end(), fields.begin() + i + 2, fields.begin() + i + 2 + count);
      vectors.push_back(vector);
      i += 2 + count;
    }
    return vectors;
  }
};

}  // namespace

// The placed text, byte for byte.
TEST(FileNames, DryRunPlacesEachName) {
  for (const hostile_name& name : hostile_names) {
    recording_tools tools;
    const process_result result = tools.run({"-n", name.source});
    EXPECT_EQ(compile_c_head + name.placed_source + " -o " + name.placed_object + "\n" +
                  module_link_head + name.placed_module + "  " + name.placed_object + link_tail +
                  "\n",
              result.out)
        << name.source;
    EXPECT_EQ("", result.err) << name.source;
    EXPECT_EQ(0, result.status) << name.source;
    EXPECT_TRUE(tools.ran().empty()) << name.source;
    EXPECT_TRUE(directory_names(tools.work.root).empty()) << name.source;
  }
}

// What the shell makes of the printed commands: each name is one word, itself.
TEST(FileNames, ShellReadsEachPlacedNameAsOneWord) {
  for (const hostile_name& name : hostile_names) {
    recording_tools tools;
    const process_result result = tools.run({"-n", "-c", name.source});
    ASSERT_FALSE(result.out.empty()) << name.source;
    const words expected = compile_c_args + words{name.source, "-o", name.object};
    EXPECT_EQ(expected, split_posix_words(result.out.substr(0, result.out.size() - 1)))
        << name.source;
  }
}

TEST(FileNames, EachToolReceivesEachNameWhole) {
  for (const hostile_name& name : hostile_names) {
    recording_tools tools;
    tools.create({name.source});
    const process_result result = tools.run({name.source});
    EXPECT_EQ(0, result.status) << name.source << result.err;
    const std::string module = name.object.substr(0, name.object.size() - 2) + ".zrv";
    const std::vector<words> expected = {
        compile_c_args + words{name.source, "-o", name.object},
        module_link_args + words{"-o", module, name.object} + link_tail_args};
    EXPECT_EQ(expected, tools.ran()) << name.source;
    EXPECT_EQ((names{name.source, name.object, module}), directory_names(tools.work.root))
        << name.source;
  }
}

// One run with every name, sequentially and with two jobs: the same commands, the same files.
TEST(FileNames, AllNamesInOneRunSequentialAndInParallel) {
  for (const char* jobs : {"1", "2"}) {
    recording_tools tools;
    std::vector<std::string> args = {"-o", "m;>PWNED3 $(>PWNED4)"};
    names expected_files = {"m;>PWNED3 $(>PWNED4).zrv"};
    std::vector<words> expected_compiles;
    words objects;
    for (const hostile_name& name : hostile_names) {
      args.push_back(name.source);
      tools.create({name.source});
      expected_files.insert({name.source, name.object});
      expected_compiles.push_back(compile_c_args + words{name.source, "-o", name.object});
      objects.push_back(name.object);
    }
    const process_result result = tools.run(args, {std::string("ZRVBUILD_JOBS=") + jobs});
    EXPECT_EQ(0, result.status) << jobs << result.err;
    std::vector<words> ran = tools.ran();
    ASSERT_EQ(expected_compiles.size() + 1, ran.size()) << jobs;
    const words link =
        module_link_args + words{"-o", "m;>PWNED3 $(>PWNED4).zrv"} + objects + link_tail_args;
    EXPECT_EQ(link, ran.back()) << jobs;
    ran.pop_back();
    std::sort(ran.begin(), ran.end());
    std::sort(expected_compiles.begin(), expected_compiles.end());
    EXPECT_EQ(expected_compiles, ran) << jobs;
    EXPECT_EQ(expected_files, directory_names(tools.work.root)) << jobs;
  }
}

// Every other place a name stands in a command: Fortran and C++ sources, objects and libraries
// from the command line, the -idirafter directory, the module, stand-alone and compile-only
// output names, and the file to strip; a Fortran source without an extension. Flags stay as
// typed.
TEST(FileNames, EveryPlacement) {
  const std::string dir = "d;>PWNED5 $(>PWNED6)'";
  const struct {
    const char* placement;
    std::vector<std::string> args;
    std::vector<std::string> inputs;
    std::vector<words> ran;
    names outputs;
  } cases[] = {
      {"sources, objects, libraries, -idirafter, module, strip",
       {"-s", "-idirafter", dir, "-o", "m&(n)", "f'|x.f90", "c$c.cc", "o;o.o", "l<l>.a", "-DX=a b"},
       {"f'|x.f90", "c$c.cc", "o;o.o", "l<l>.a"},
       {compile_f_args + words{"-idirafter", dir, "-DX=a", "b", "f'|x.f90", "-o", "f'|x.o"},
        compile_cxx_args + words{"-idirafter", dir, "-DX=a", "b", "c$c.cc", "-o", "c$c.o"},
        module_link_args + words{"-o", "m&(n).zrv", "o;o.o", "f'|x.o", "c$c.o", "l<l>.a"} +
            link_tail_args,
        {"strip", "m&(n).zrv"}},
       {"f'|x.o", "c$c.o", "m&(n).zrv"}},
      {"stand-alone output and strip",
       {"--link-stand-alone", "-s", "-o", "p;rog `x`", "o;o.o"},
       {"o;o.o"},
       {words{"ld-cxx", "-Icpp", "-Iinc", "-xcxx", "-O2", "-rdynamic", "-static-x", "-fpic-c",
              "-ldf", "-o", "p;rog `x`", "o;o.o", "-Llib", "-lzrvinterp", "-lzorvan", "-oo", "-od"},
        {"strip", "p;rog `x`"}},
       {"p;rog `x`"}},
      {"Fortran source without an extension",
       {"-c", "e;mpty $xf90"},
       {"e;mpty $xf90"},
       {compile_f_args + words{"e;mpty $xf90", "-o", "e;mpty $xf90.o"}},
       {"e;mpty $xf90.o"}},
      {"compile-only output",
       {"-c", "-o", "out$(x).o", "a'b.c"},
       {"a'b.c"},
       {compile_c_args + words{"a'b.c", "-o", "out$(x).o"}},
       {"out$(x).o"}},
  };
  for (const auto& c : cases) {
    recording_tools tools;
    tools.create(c.inputs);
    const process_result result = tools.run(c.args);
    EXPECT_EQ(0, result.status) << c.placement << result.err;
    EXPECT_EQ(c.ran, tools.ran()) << c.placement;
    names expected(c.inputs.begin(), c.inputs.end());
    expected.insert(c.outputs.begin(), c.outputs.end());
    EXPECT_EQ(expected, directory_names(tools.work.root)) << c.placement;
  }
}

namespace {

// A name given as a C source that begins with a double quote: its text in the commands, and the
// file that each command reaches.
struct pre_quoted_source {
  std::string source, placed_source, placed_object, placed_module;
  std::string reached_source, reached_object, reached_module;
};

const pre_quoted_source pre_quoted_sources[] = {
    // Quoted by the caller: as it stands, and the shell takes the quotes away.
    {"\"my file\".c", "\"my file\".c", "\"my file\".o", "\"my file\".zrv", "my file.c",
     "my file.o", "my file.zrv"},
    {"\"na\xc3\xafve \xe6\x9d\x8e\".c", "\"na\xc3\xafve \xe6\x9d\x8e\".c",
     "\"na\xc3\xafve \xe6\x9d\x8e\".o", "\"na\xc3\xafve \xe6\x9d\x8e\".zrv",
     "na\xc3\xafve \xe6\x9d\x8e.c", "na\xc3\xafve \xe6\x9d\x8e.o", "na\xc3\xafve \xe6\x9d\x8e.zrv"},
    {"\"my;file\"x.c", "\"my;file\"x.c", "\"my;file\"x.o", "\"my;file\"x.zrv", "my;filex.c",
     "my;filex.o", "my;filex.zrv"},
    // The shell would expand or end something inside the quotes, or the quotes are not one
    // closed span followed by plain text: data, the quotes part of the name.
    {"\"my $(>PWNED)\".c", "'\"my $(>PWNED)\".c'", "'\"my $(>PWNED)\".o'",
     "'\"my $(>PWNED)\".zrv'", "\"my $(>PWNED)\".c", "\"my $(>PWNED)\".o", "\"my $(>PWNED)\".zrv"},
    {"\"x`>PWNED`\".c", "'\"x`>PWNED`\".c'", "'\"x`>PWNED`\".o'", "'\"x`>PWNED`\".zrv'",
     "\"x`>PWNED`\".c", "\"x`>PWNED`\".o", "\"x`>PWNED`\".zrv"},
    // The object is named after what follows the backslash.
    {"\"back\\slash\".c", "'\"back\\slash\".c'", "'slash\".o'", "'slash\".zrv'",
     "\"back\\slash\".c", "slash\".o", "slash\".zrv"},
    {"\"my file.c", "'\"my file.c'", "'\"my file.o'", "'\"my file.zrv'", "\"my file.c",
     "\"my file.o", "\"my file.zrv"},
    {"my\" \"file.c", "'my\" \"file.c'", "'my\" \"file.o'", "'my\" \"file.zrv'", "my\" \"file.c",
     "my\" \"file.o", "my\" \"file.zrv"},
    {"\"my file\";x.c", "'\"my file\";x.c'", "'\"my file\";x.o'", "'\"my file\";x.zrv'",
     "\"my file\";x.c", "\"my file\";x.o", "\"my file\";x.zrv"},
    {"\"my file\"x y.c", "'\"my file\"x y.c'", "'\"my file\"x y.o'", "'\"my file\"x y.zrv'",
     "\"my file\"x y.c", "\"my file\"x y.o", "\"my file\"x y.zrv"},
    // What the tool would read as an option: behind "./", quoted afresh.
    {"\"-x y\".c", "\"./-x y.c\"", "\"./-x y.o\"", "\"./-x y.zrv\"", "./-x y.c", "./-x y.o",
     "./-x y.zrv"},
};

}  // namespace

// The exact commands, and the files the fake tools reach; no other file appears.
TEST(FileNames, PreQuotedNamesReachTheFilesTheirCallerMeant) {
  for (const pre_quoted_source& name : pre_quoted_sources) {
    SCOPED_TRACE(name.source);
    recording_tools tools;
    const process_result dry = tools.run({"-n", name.source});
    EXPECT_EQ(compile_c_head + name.placed_source + " -o " + name.placed_object + "\n" +
                  module_link_head + name.placed_module + "  " + name.placed_object + link_tail +
                  "\n",
              dry.out);
    EXPECT_EQ(0, dry.status);
    tools.create({name.reached_source});
    const process_result result = tools.run({name.source});
    EXPECT_EQ(0, result.status) << result.err;
    const std::vector<words> expected = {
        compile_c_args + words{name.reached_source, "-o", name.reached_object},
        module_link_args + words{"-o", name.reached_module, name.reached_object} +
            link_tail_args};
    EXPECT_EQ(expected, tools.ran());
    auto in_directory = [](const std::string& reached) {
      return reached.compare(0, 2, "./") == 0 ? reached.substr(2) : reached;
    };
    EXPECT_EQ((names{in_directory(name.reached_source), in_directory(name.reached_object),
                     in_directory(name.reached_module)}),
              directory_names(tools.work.root));
  }
}

// Every kind of name the walk takes as a file, beginning with '-' or '@', reaches its tool
// behind "./": sources of each language, objects, libraries, the module, the stand-alone and
// compile-only outputs, the file to strip, the sources of -M; sequentially and with two jobs.
// Flags stay as typed.
TEST(FileNames, NamesThatLookLikeOptionsReachTheToolAsFiles) {
  const struct {
    const char* placement;
    std::vector<std::string> args;
    std::vector<std::string> inputs;
    std::string dry_run;
    std::vector<words> ran;
    names outputs;
  } cases[] = {
      {"sources, objects, libraries, module, strip",
       {"-s", "-o", "@mod", "-f.f90", "-x.c", "@y.cc", "-specs=evil.o", "@o.o", "-l.a", "@lib.a",
        "-Dx=1", "-Wall"},
       {"-f.f90", "-x.c", "@y.cc", "-specs=evil.o", "@o.o", "-l.a", "@lib.a"},
       "gfortran -c -fpic-f -O3 -i8   -Dx=1  -Wall ./-f.f90 -o ./-f.o\n"
       "gcc -c -Icpp -fpic-c -Iinc -xc -O1  -Wall   -Dx=1 ./-x.c -o ./-x.o\n"
       "g++ -c -Icpp -fpic-x -Iinc -xcxx -O2  -Wall   -Dx=1 ./@y.cc -o ./@y.o\n"
       "dl-ld -Iinc -xcxx -O2 -shared  -Wall -o ./@mod.zrv  ./-specs=evil.o ./@o.o ./-f.o ./-x.o "
       "./@y.o  ./-l.a ./@lib.a  -Llib -lzrvinterp -lzorvan -zo -zd\n"
       "strip ./@mod.zrv\n",
       {compile_f_args + words{"-Dx=1", "-Wall", "./-f.f90", "-o", "./-f.o"},
        compile_c_args + words{"-Wall", "-Dx=1", "./-x.c", "-o", "./-x.o"},
        compile_cxx_args + words{"-Wall", "-Dx=1", "./@y.cc", "-o", "./@y.o"},
        module_link_args + words{"-Wall", "-o", "./@mod.zrv", "./-specs=evil.o", "./@o.o",
                                 "./-f.o", "./-x.o", "./@y.o", "./-l.a", "./@lib.a"} +
            link_tail_args,
        {"strip", "./@mod.zrv"}},
       {"-f.o", "-x.o", "@y.o", "@mod.zrv"}},
      {"stand-alone output and strip",
       {"--link-stand-alone", "-s", "-o", "-prog", "@o.o"},
       {"@o.o"},
       "ld-cxx -Icpp -Iinc -xcxx -O2 -rdynamic -static-x -fpic-c -ldf  -o ./-prog  ./@o.o   "
       "-Llib -lzrvinterp -lzorvan  -oo -od\n"
       "strip ./-prog\n",
       {words{"ld-cxx", "-Icpp", "-Iinc", "-xcxx", "-O2", "-rdynamic", "-static-x", "-fpic-c",
              "-ldf", "-o", "./-prog", "./@o.o", "-Llib", "-lzrvinterp", "-lzorvan", "-oo", "-od"},
        {"strip", "./-prog"}},
       {"-prog"}},
      {"compile-only output",
       {"-c", "-o", "@out.o", "a.c"},
       {"a.c"},
       "gcc -c -Icpp -fpic-c -Iinc -xc -O1    a.c -o ./@out.o\n",
       {compile_c_args + words{"a.c", "-o", "./@out.o"}},
       {"@out.o"}},
      {"module named after a source",
       {"-x.c"},
       {"-x.c"},
       "gcc -c -Icpp -fpic-c -Iinc -xc -O1    ./-x.c -o ./-x.o\n"
       "dl-ld -Iinc -xcxx -O2 -shared  -o ./-x.zrv  ./-x.o" +
           link_tail + "\n",
       {compile_c_args + words{"./-x.c", "-o", "./-x.o"},
        module_link_args + words{"-o", "./-x.zrv", "./-x.o"} + link_tail_args},
       {"-x.o", "-x.zrv"}},
      {"dependency files",
       {"-M", "-x.c", "@y.cc"},
       {"-x.c", "@y.cc"},
       "",
       {{"gcc", "-M", "-Icpp", "-Iinc", "-xc", "-O1", "./-x.c"},
        {"g++", "-M", "-Icpp", "-Iinc", "-xcxx", "-O2", "./@y.cc"}},
       {"-x.d", "@y.d"}},
  };
  for (const auto& c : cases) {
    for (const char* jobs : {"1", "2"}) {
      SCOPED_TRACE(std::string(c.placement) + ", jobs " + jobs);
      recording_tools tools;
      // -M runs its commands even in a dry run: it has none to show.
      if (!c.dry_run.empty()) {
        std::vector<std::string> dry_args = {"-n"};
        dry_args.insert(dry_args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(c.dry_run, tools.run(dry_args).out);
      }
      tools.create(c.inputs);
      const process_result result = tools.run(c.args, {std::string("ZRVBUILD_JOBS=") + jobs});
      EXPECT_EQ(0, result.status) << result.err;
      std::vector<words> ran = tools.ran();
      std::vector<words> expected = c.ran;
      // Two jobs may start the compiles in either order; what follows them keeps its place.
      const std::size_t compiles = std::count_if(expected.begin(), expected.end(), [](const words& w) {
        return w[0] == "gcc" || w[0] == "g++" || w[0] == "gfortran";
      });
      if (ran.size() == expected.size()) {
        std::sort(ran.begin(), ran.begin() + compiles);
        std::sort(expected.begin(), expected.begin() + compiles);
      }
      EXPECT_EQ(expected, ran);
      names files(c.inputs.begin(), c.inputs.end());
      files.insert(c.outputs.begin(), c.outputs.end());
      EXPECT_EQ(files, directory_names(tools.work.root));
    }
  }
}

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

const std::string example_home = ZRVBUILD_EXAMPLE_HOME;

// zrvbuild with these arguments, in a shell that has sourced the GNU/Linux profile.
process_result zrvbuild_with_profile(const std::vector<std::string>& args, const std::string& cwd,
                                     const std::string& jobs,
                                     const std::vector<std::string>& extra = {}) {
  std::vector<std::string> argv = {
      "/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE, ZRVBUILD_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                          "ZORVAN_HOME=" + example_home, "ZRVBUILD_JOBS=" + jobs};
  environment.insert(environment.end(), extra.begin(), extra.end());
  for (const std::string& entry : sanitizer_environment())
    environment.push_back(entry);
  return run_program(argv, environment, cwd);
}

// The base names that the real tools take whole. ".c" reaches the compiler unchanged and is
// left out: it takes it for a file without an extension.
std::vector<std::string> toolchain_stems() {
  std::vector<std::string> stems;
  for (const hostile_name& name : hostile_names) {
    if (name.source != ".c")
      stems.push_back(name.source.substr(0, name.source.size() - 2));
  }
  return stems;
}

}  // namespace

// Every name as a C, a C++ and a Fortran source, each defining one function, with a header
// found through -idirafter in a directory whose name is shell syntax too, into one module.
TEST(Toolchain, HostileNamesBuildAModuleThatExportsEachSourcesFunction) {
  ZRV_NEED_TOOLS("gcc", "g++", "gfortran", "nm");
  const std::string include_dir = "inc;>PWNED7 $(>PWNED8)";
  const std::string module = "m;>PWNED9 `x`";
  for (const char* jobs : {"1", "2"}) {
    scratch_dir dir;
    mkdir(dir.path(include_dir).c_str(), 0755);
    write_file(dir.path(include_dir + "/hostile.h"), "#define HOSTILE_BASE 100\n");
    std::vector<std::string> args = {"-idirafter", include_dir, "-o", module};
    names expected = {include_dir, module + ".zrv"};
    std::vector<std::string> functions;
    int index = 0;
    for (const std::string& stem : toolchain_stems()) {
      const std::string number = std::to_string(index++);
      const std::string c_stem = stem, cxx_stem = stem + "_cxx", f_stem = stem + "_f";
      write_file(dir.path(c_stem + ".c"), "#include \"hostile.h\"\nint fn_c_" + number +
                                              "(void) { return HOSTILE_BASE + " + number + "; }\n");
      write_file(dir.path(cxx_stem + ".cc"), "#include \"hostile.h\"\nextern \"C\" int fn_cxx_" +
                                                 number + "() { return HOSTILE_BASE; }\n");
      write_file(dir.path(f_stem + ".f90"), "subroutine fn_f_" + number + "() bind(c, name='fn_f_" +
                                                number + "')\nend subroutine\n");
      args.insert(args.end(), {c_stem + ".c", cxx_stem + ".cc", f_stem + ".f90"});
      functions.insert(functions.end(), {"fn_c_" + number, "fn_cxx_" + number, "fn_f_" + number});
      // The object of back\slash is named after what follows the backslash.
      const auto object = [](const std::string& base) {
        return base.substr(base.find_last_of('\\') + 1) + ".o";
      };
      expected.insert({c_stem + ".c", cxx_stem + ".cc", f_stem + ".f90", object(c_stem),
                       object(cxx_stem), object(f_stem)});
    }
    const process_result build = zrvbuild_with_profile(args, dir.root, jobs);
    ASSERT_EQ(0, build.status) << jobs << "\n" << build.out << build.err;
    EXPECT_EQ(expected, directory_names(dir.root)) << jobs;
    const process_result symbols =
        run_program({find_tool("nm"), "-D", "--defined-only", module + ".zrv"}, {}, dir.root);
    ASSERT_EQ(0, symbols.status) << symbols.err;
    for (const std::string& function : functions)
      EXPECT_NE(std::string::npos, symbols.out.find(" " + function + "\n")) << jobs << function;
  }
}

namespace {

// A source, the object as the compiler names it in its rule, the dependency file's own name
// as a make target, and whether make can read a rule that names them.
struct depend_case {
  std::string source, object_target, dep_file, dep_target;
  bool make_reads;
};

const depend_case depend_cases[] = {
    {"plain.c", "plain.o", "plain.d", "plain.d", true},
    {"my file.c", "my\\ file.o", "my file.d", "my\\ file.d", true},
    {"my $(>PWNED2).c", "my\\ $$(>PWNED2).o", "my $(>PWNED2).d", "my\\ $$(>PWNED2).d", true},
    {"a$b.cc", "a$$b.o", "a$b.d", "a$$b.d", true},
    {"#hash.c", "\\#hash.o", "#hash.d", "\\#hash.d", true},
    {"it's.cc", "it's.o", "it's.d", "it's.d", true},
    {"x&y.c", "x&y.o", "x&y.d", "x&y.d", true},
    {"p(q).cc", "p(q).o", "p(q).d", "p(q).d", true},
    {"lt<gt>.c", "lt<gt>.o", "lt<gt>.d", "lt<gt>.d", true},
    {"q\"uote.cc", "q\"uote.o", "q\"uote.d", "q\"uote.d", true},
    {"{a,b}.c", "{a,b}.o", "{a,b}.d", "{a,b}.d", true},
    {"na\xc3\xafve-\xe6\x9d\x8e.cc", "na\xc3\xafve-\xe6\x9d\x8e.o", "na\xc3\xafve-\xe6\x9d\x8e.d",
     "na\xc3\xafve-\xe6\x9d\x8e.d", true},
    {"back\\slash.c", "back\\slash.o", "slash.d", "slash.d", true},
    // make reads a ';' before the colon as a recipe and has no escape for a tab in a target.
    {"a;>PWNED;.c", "a;>PWNED;.o", "a;>PWNED;.d", "a;>PWNED;.d", false},
    {"semi;colon.cc", "semi;colon.o", "semi;colon.d", "semi;colon.d", false},
    {"tab\tt.c", "tab\\\tt.o", "tab\tt.d", "tab\\\tt.d", false},
};

}  // namespace

// The dependency file names the object, the object under pic/ and itself as make reads them,
// for every name, sequentially and with two jobs; no other file appears.
TEST(Toolchain, DependencyFilesOfHostileNames) {
  ZRV_NEED_TOOLS("gcc", "g++", "make");
  scratch_dir makefiles;
  // The first prerequisite of any goal that a rule of the dependency file names.
  write_file(makefiles.path("show.mk"), "%:: ; @$(info [$@] [$<])\n");
  for (const char* jobs : {"1", "2"}) {
    scratch_dir dir;
    std::vector<std::string> args = {"-M"};
    names expected;
    for (const depend_case& c : depend_cases) {
      write_file(dir.path(c.source), "int f(void);\n");
      args.push_back(c.source);
      expected.insert({c.source, c.dep_file});
    }
    const process_result run = zrvbuild_with_profile(args, dir.root, jobs);
    ASSERT_EQ(0, run.status) << jobs << "\n" << run.err;
    EXPECT_EQ(expected, directory_names(dir.root)) << jobs;
    for (const depend_case& c : depend_cases) {
      const std::string rule =
          "pic/" + c.object_target + " " + c.object_target + " " + c.dep_target + ": ";
      EXPECT_EQ(0u, read_file(dir.path(c.dep_file)).find(rule)) << jobs << " " << c.source;
      if (!c.make_reads)
        continue;
      const std::string object = c.source.substr(0, c.source.rfind('.')) + ".o";
      for (const std::string& goal : {object, "pic/" + object, c.dep_file}) {
        const process_result made = run_program({find_tool("make"), "-r", "-R", "-B", "-s", "-f",
                                                 c.dep_file, "-f", makefiles.path("show.mk"), goal},
                                                {"PATH=/usr/bin:/bin"}, dir.root);
        // Making the makefiles themselves may print lines of their own first.
        const std::string line = "[" + goal + "] [" + c.source + "]\n";
        EXPECT_NE(std::string::npos, ("\n" + made.out).find("\n" + line))
            << jobs << " " << goal << "\n"
            << made.out << made.err;
      }
    }
  }
}

namespace {

// Whether the file defines the function (nm of a module or an object). The path is whole: nm
// too reads a word that begins with '@' as a file of arguments.
bool defines(const std::string& dir, const std::string& file, const std::string& function) {
  const process_result symbols =
      run_program({find_tool("nm"), "--defined-only", dir + "/" + file}, {}, dir);
  return symbols.status == 0 && symbols.out.find(" " + function + "\n") != std::string::npos;
}

// A directory laid out for the attacks on names that the tools would read as options or files
// of arguments: each attack, if the tool took the bait, leaves PWNED (a plugin gcc loads, or a
// linker it runs) or a module elsewhere.
struct option_bait {
  scratch_dir dir;

  option_bait() {
    write_file(dir.path("evil.c"),
               "#include <fcntl.h>\n#include <unistd.h>\n"
               "__attribute__((constructor)) static void mark(void) {\n"
               "  close(creat(\"PWNED\", 0644));\n}\n");
    EXPECT_EQ(0, run_program({find_tool("gcc"), "-shared", "-fPIC", "evil.c", "-o", "evil.so"},
                             {"PATH=/usr/bin:/bin"}, dir.root)
                     .status);
    write_file(dir.path("mark.sh"), ": > PWNED\n");
    chmod(dir.path("mark.sh").c_str(), 0755);
    write_file(dir.path("@x.c"), "int at_x(void) { return 1; }\n");
    write_file(dir.path("-y.c"), "int dash_y(void) { return 2; }\n");
    write_file(dir.path("other.c"), "int other(void) { return 3; }\n");
    // Read as arguments, each loads the plugin into the compiler.
    for (const char* bait : {"x.c", "x.o", "x.zrv", "x.d"})
      write_file(dir.path(bait), "-fplugin=./evil.so\n");
    // Read as a specs file, it makes mark.sh the linker.
    write_file(dir.path("evil.o"), "*linker:\n./mark.sh\n\n");
    // Read as arguments, it sends the module elsewhere.
    write_file(dir.path("mod.zrv"), "elsewhere.zrv\n");
  }

  // The baits are still there, unchanged, and nothing took them.
  void expect_untouched() const {
    EXPECT_FALSE(file_exists(dir.path("PWNED")));
    EXPECT_FALSE(file_exists(dir.path("elsewhere.zrv")));
    EXPECT_EQ("elsewhere.zrv\n", read_file(dir.path("mod.zrv")));
    EXPECT_EQ("-fplugin=./evil.so\n", read_file(dir.path("x.c")));
  }
};

}  // namespace

// The faults of names the tools would read as options or argument files, with the real tool
// chain: a source @x.c with a file x.c of arguments, a module -o @mod with an existing mod.zrv,
// an object named -specs=evil.o with a specs file evil.o. Every file reaches gcc as the file;
// sequentially, with two jobs and incrementally (twice: the second run is up to date).
TEST(Toolchain, NamesThatLookLikeOptionsAreNeverReadAsOptions) {
  ZRV_NEED_TOOLS("gcc", "nm");
  const struct {
    const char* mode;
    const char* jobs;
    std::vector<std::string> extra;
    int runs;
  } modes[] = {
      {"sequential", "1", {}, 1},
      {"two jobs", "2", {}, 1},
      {"incremental", "1", {"ZRVBUILD_INCREMENTAL=1"}, 2},
  };
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.mode);
    {
      option_bait bait;
      for (int run = 0; run < mode.runs; ++run) {
        const process_result compile =
            zrvbuild_with_profile({"-c", "@x.c", "-y.c"}, bait.dir.root, mode.jobs, mode.extra);
        EXPECT_EQ(0, compile.status) << compile.out << compile.err;
      }
      EXPECT_TRUE(defines(bait.dir.root, "@x.o", "at_x"));
      EXPECT_TRUE(defines(bait.dir.root, "-y.o", "dash_y"));
      bait.expect_untouched();
    }
    {
      option_bait bait;
      // The object is a real one; its name is an option that reads the specs file evil.o.
      ASSERT_EQ(0, run_program({find_tool("gcc"), "-c", "-fPIC", "other.c", "-o",
                                bait.dir.path("-specs=evil.o")},
                               {"PATH=/usr/bin:/bin"}, bait.dir.root)
                       .status);
      for (int run = 0; run < mode.runs; ++run) {
        const process_result link = zrvbuild_with_profile(
            {"-o", "@mod", "@x.c", "-y.c", "-specs=evil.o"}, bait.dir.root, mode.jobs, mode.extra);
        EXPECT_EQ(0, link.status) << link.out << link.err;
      }
      for (const char* function : {"at_x", "dash_y", "other"})
        EXPECT_TRUE(defines(bait.dir.root, "@mod.zrv", function)) << function;
      bait.expect_untouched();
    }
  }
}

// -M: the dependency files of @x.c and -y.c, with the rules of their own sources.
TEST(Toolchain, DependencyFilesOfNamesThatLookLikeOptions) {
  ZRV_NEED_TOOLS("gcc");
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    option_bait bait;
    const process_result run = zrvbuild_with_profile({"-M", "@x.c", "-y.c"}, bait.dir.root, jobs);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(0u, read_file(bait.dir.path("@x.d")).find("pic/@x.o @x.o @x.d: @x.c "));
    EXPECT_EQ(0u, read_file(bait.dir.path("-y.d")).find("pic/-y.o -y.o -y.d: -y.c "));
    bait.expect_untouched();
  }
}

// A link too long for the shell goes through zrvbuild's response file, which gcc reads: the
// names in it reach the linker as files too.
TEST(Toolchain, ResponseFileCarriesNamesThatLookLikeOptionsAsFiles) {
  ZRV_NEED_TOOLS("gcc", "nm");
  option_bait bait;
  write_file(bait.dir.path("at.c"), "int at_object(void) { return 4; }\n");
  write_file(bait.dir.path("empty.c"), "typedef int no_symbols;\n");
  const struct {
    const char* source;
    const char* object;
  } objects[] = {{"other.c", "-specs=evil.o"}, {"at.c", "@x.o"}, {"empty.c", "empty.o"}};
  for (const auto& o : objects) {
    ASSERT_EQ(0, run_program({find_tool("gcc"), "-c", "-fPIC", o.source, "-o",
                              bait.dir.path(o.object)},
                             {"PATH=/usr/bin:/bin"}, bait.dir.root)
                     .status);
  }
  // 1,000 empty objects of 150 characters each: past the 128 KiB a shell's argument may hold.
  std::vector<std::string> args = {"-v", "-o", "@mod", "-specs=evil.o", "@x.o"};
  const std::string empty = read_file(bait.dir.path("empty.o"));
  for (int i = 0; i < 1000; ++i) {
    const std::string name = "e" + std::string(140, 'x') + std::to_string(1000 + i) + ".o";
    write_file(bait.dir.path(name), empty);
    args.push_back(name);
  }
  const process_result link = zrvbuild_with_profile(args, bait.dir.root, "1");
  ASSERT_EQ(0, link.status) << link.err;
  // The echoed command names the response file instead of the objects.
  EXPECT_EQ(std::string::npos, link.out.find("-specs=evil.o"));
  EXPECT_NE(std::string::npos, link.out.find(" @/"));
  EXPECT_TRUE(defines(bait.dir.root, "@mod.zrv", "other"));
  EXPECT_TRUE(defines(bait.dir.root, "@mod.zrv", "at_object"));
  bait.expect_untouched();
}

#endif
