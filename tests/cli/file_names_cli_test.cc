// File names are data: names that hold shell syntax, blanks, tabs, line feeds, quotes,
// backslashes, non-ASCII letters or a leading '-', given to the real program. What a dry run
// prints, what each tool receives (one argument, the name itself), what the real tool chain
// builds from them, sequentially and in parallel, and what -M writes for make; and that no
// other file appears, whatever the names ask the shell to do.
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
    {"-lead.c", "-lead.c", "-lead.o", "-lead.o", "-lead.zrv"},
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

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

const std::string example_home = ZRVBUILD_EXAMPLE_HOME;

// zrvbuild with these arguments, in a shell that has sourced the GNU/Linux profile.
process_result zrvbuild_with_profile(const std::vector<std::string>& args, const std::string& cwd,
                                     const std::string& jobs) {
  std::vector<std::string> argv = {
      "/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE, ZRVBUILD_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                          "ZORVAN_HOME=" + example_home, "ZRVBUILD_JOBS=" + jobs};
  for (const std::string& entry : sanitizer_environment())
    environment.push_back(entry);
  return run_program(argv, environment, cwd);
}

// The base names that the real tools take whole. Two reach the compiler unchanged and are
// left out: a name that begins with '-', which it reads as an option, as every GNU tool does,
// and ".c", which it takes for a file without an extension.
std::vector<std::string> toolchain_stems() {
  std::vector<std::string> stems;
  for (const hostile_name& name : hostile_names) {
    if (name.source[0] != '-' && name.source != ".c")
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

#endif
