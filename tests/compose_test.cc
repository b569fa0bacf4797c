// The composed commands and names of the compile and link phases, byte for byte, from a
// variable table of short tokens; and the two phases' own refusals (an empty compiler or
// stand-alone linker), which no environment can produce because an empty value counts as
// unset.
#include <gtest/gtest.h>

#include <string>

#include "phases/compile.h"
#include "phases/link.h"
#include "phases/output_names.h"
#include "text/name_quoting.h"

namespace {

// Names that hold a character special to sh: their placed text is the POSIX shell's. The
// Windows program quotes them for cmd.exe (or refuses them before composing), which
// tests/name_quoting_test.cc and the Windows suites cover.
bool quoted_for_sh_only(const std::string& name) {
#ifdef _WIN32
  return name.find_first_of("\"\t") != std::string::npos &&
         !is_pre_quoted_name(name, interpreter_kind::cmd_exe);
#else
  (void)name;
  return false;
#endif
}

// Every variable the phases read, each holding its own short token.
variable_table token_table() {
  return {
      {"F77", "F77"},
      {"FPICFLAG", "FPIC"},
      {"ALL_FFLAGS", "AFF"},
      {"CC", "CC"},
      {"CPPFLAGS", "CPP"},
      {"CPICFLAG", "CPIC"},
      {"ALL_CFLAGS", "ACF"},
      {"CXX", "CXX"},
      {"CXXPICFLAG", "XPIC"},
      {"ALL_CXXFLAGS", "AXF"},
      {"DL_LD", "DLLD"},
      {"DL_LDFLAGS", "DLF"},
      {"LFLAGS", "LF"},
      {"ZRV_LINK_OPTS", "ZO"},
      {"ZRV_LINK_DEPS", "ZD"},
      {"LD_CXX", "LDX"},
      {"RDYNAMIC_FLAG", "RDY"},
      {"ALL_LDFLAGS", "ALF"},
      {"ZORVAN_LINK_OPTS", "OO"},
      {"ZORVAN_LINK_DEPS", "OD"},
  };
}

// The accumulated strings of a run; empty, or one or two entries each.
run_state accumulated(bool with_entries) {
  run_state run;
  if (with_entries) {
    run.include_flags = " -Ia -idirafter b";
    run.define_flags = " -DX";
    run.pass_on_flags = " -Wp -O0";
    run.obj_files = " u.o \"v w.o\"";
    run.lib_files = " l.a";
    run.linker_flags = " -lm -Wl,-z";
  }
  return run;
}

// What stands in front of a name taken as a file that begins with '-' or '@'.
#ifdef _WIN32
const std::string here = ".\\";
#else
const std::string here = "./";
#endif

}  // namespace

TEST(Compose, CompileCommands) {
  const struct {
    source_language language;
    bool tokens;  // the token table, or an empty one
    bool entries;
    std::string source;
    std::string object;
    std::string command;
  } cases[] = {
      {source_language::fortran, true, false, "x.f", "x.o", "F77 -c FPIC AFF    x.f -o x.o"},
      {source_language::fortran, true, true, "x.f", "x.o",
       "F77 -c FPIC AFF  -Ia -idirafter b  -DX  -Wp -O0 x.f -o x.o"},
      {source_language::c, true, false, "x.c", "x.o", "CC -c CPP CPIC ACF    x.c -o x.o"},
      {source_language::c, true, true, "x.c", "x.o",
       "CC -c CPP CPIC ACF  -Wp -O0  -Ia -idirafter b  -DX x.c -o x.o"},
      {source_language::cxx, true, false, "x.cc", "x.o", "CXX -c CPP XPIC AXF    x.cc -o x.o"},
      {source_language::cxx, true, true, "x.cc", "x.o",
       "CXX -c CPP XPIC AXF  -Wp -O0  -Ia -idirafter b  -DX x.cc -o x.o"},
      // Unset variables read as empty: every literal piece stays.
      {source_language::fortran, false, false, "x.f", "x.o", " -c      x.f -o x.o"},
      {source_language::c, false, false, "x.c", "x.o", " -c       x.c -o x.o"},
      {source_language::cxx, false, true, "x.cc", "x.o",
       " -c     -Wp -O0  -Ia -idirafter b  -DX x.cc -o x.o"},
      // Names are quoted in every language, and only when they hold a blank.
      {source_language::c, true, false, "my file.c", "my file.o",
       "CC -c CPP CPIC ACF    \"my file.c\" -o \"my file.o\""},
      {source_language::cxx, true, false, "d ir/a.cc", "a.o",
       "CXX -c CPP XPIC AXF    \"d ir/a.cc\" -o a.o"},
      {source_language::fortran, true, false, "my file.f", "my file.o",
       "F77 -c FPIC AFF    \"my file.f\" -o \"my file.o\""},
      {source_language::fortran, true, false, "d ir/a.f90", "a.o",
       "F77 -c FPIC AFF    \"d ir/a.f90\" -o a.o"},
      // A tab, or a double quote anywhere, even first, takes the shell's full quoting.
      {source_language::c, true, false, "tab\tname.c", "tab\tname.o",
       "CC -c CPP CPIC ACF    'tab\tname.c' -o 'tab\tname.o'"},
      // A name that its caller quoted itself stands as it is; a quote left open is data.
      {source_language::c, true, false, "\"my file\".c", "\"my file\".o",
       "CC -c CPP CPIC ACF    \"my file\".c -o \"my file\".o"},
      {source_language::fortran, true, false, "\"my file\".f", "\"my file\".o",
       "F77 -c FPIC AFF    \"my file\".f -o \"my file\".o"},
      {source_language::c, true, false, "\"my file.c\"", "\"my file.o",
       "CC -c CPP CPIC ACF    \"my file.c\" -o '\"my file.o'"},
      {source_language::cxx, true, false, "\"q.cc", "\"q.o",
       "CXX -c CPP XPIC AXF    '\"q.cc' -o '\"q.o'"},
      {source_language::fortran, true, false, "\"q r.f", "\"q r.o",
       "F77 -c FPIC AFF    '\"q r.f' -o '\"q r.o'"},
  };
  for (const auto& c : cases) {
    if (quoted_for_sh_only(c.source) || quoted_for_sh_only(c.object))
      continue;
    variable_table table = c.tokens ? token_table() : variable_table{};
    const run_state run = accumulated(c.entries);
    EXPECT_EQ(c.command, compose_compile_command(c.language, c.source, c.object, run, table))
        << c.source;
  }
}

// A source or object that the compiler would read as an option or a file of arguments is
// written behind "./" (".\" on Windows), in every language; flags stay as typed.
TEST(Compose, CompileCommandsOfNamesThatLookLikeOptions) {
  const struct {
    source_language language;
    std::string source, object, command;
  } cases[] = {
      {source_language::c, "-x.c", "-x.o", "CC -c CPP CPIC ACF    " + here + "-x.c -o " + here + "-x.o"},
      {source_language::cxx, "@x.cc", "@x.o",
       "CXX -c CPP XPIC AXF    " + here + "@x.cc -o " + here + "@x.o"},
      {source_language::fortran, "-f.f90", "-f.o", "F77 -c FPIC AFF    " + here + "-f.f90 -o " + here + "-f.o"},
      {source_language::c, "x.c", "@out", "CC -c CPP CPIC ACF    x.c -o " + here + "@out"},
      {source_language::c, "-a b.c", "-a b.o",
       "CC -c CPP CPIC ACF    \"" + here + "-a b.c\" -o \"" + here + "-a b.o\""},
      {source_language::c, "\"-a b\".c", "\"-a b\".o",
       "CC -c CPP CPIC ACF    \"" + here + "-a b.c\" -o \"" + here + "-a b.o\""},
  };
  for (const auto& c : cases) {
    variable_table table = token_table();
    const run_state run = accumulated(false);
    EXPECT_EQ(c.command, compose_compile_command(c.language, c.source, c.object, run, table))
        << c.source;
  }
  variable_table table = token_table();
  EXPECT_EQ("F77 -E FPIC AFF    " + here + "-f.F90",
            compose_fortran_preprocess_command("-f.F90", accumulated(false), table));
}

// The preprocessor command of a Fortran source: its compile command, byte for byte, with " -E "
// in place of " -c " and without " -o OBJECT".
TEST(Compose, FortranPreprocessCommands) {
  for (const bool entries : {false, true}) {
    for (const char* source : {"x.F90", "sub/x.F", "my file.F", "tab\tname.F90", "\"q r.F"}) {
      variable_table table = token_table();
      const run_state run = accumulated(entries);
      std::string compile =
          compose_compile_command(source_language::fortran, source, "o.o", run, table);
      compile.replace(0, 7, "F77 -E ");
      compile.erase(compile.rfind(" -o o.o"));
      EXPECT_EQ(compile, compose_fortran_preprocess_command(source, run, table)) << source;
    }
  }
  variable_table empty;
  EXPECT_EQ(" -E      x.F", compose_fortran_preprocess_command("x.F", run_state{}, empty));
}

TEST(Compose, ObjectNames) {
  const struct {
    std::string source;
    std::string output_file;
    bool link;
    std::string object;
  } cases[] = {
      {"foo.c", "", true, "foo.o"},
      {"src/sub/foo.c", "", true, "foo.o"},
      {"C:\\src\\bar.cpp", "", true, "bar.o"},
      {"a.b/c.f90", "", true, "c.o"},
      {"rel.2/solverf90", "", true, "rel.o"},
      {"foo.c", "out.o", true, "foo.o"},  // -o names the product, not the objects
      {"foo.c", "", false, "foo.o"},
      {"foo.c", "out.o", false, "out.o"},  // -c -o NAME: every source compiles to NAME
      {"dir/x.F90", "sub dir/o", false, "sub dir/o"},
      {"my file.c", "", true, "my file.o"},
      {"\"my file.c\"", "", true, "\"my file.o"},
  };
  for (const auto& c : cases) {
    run_state run;
    run.output_file = c.output_file;
    run.link = c.link;
    EXPECT_EQ(c.object, object_name(c.source, run)) << c.source << " -o " << c.output_file;
  }
}

TEST(Compose, OutputNames) {
  const struct {
    std::string first_file;
    std::string output_file;
    std::string ext;
    bool stand_alone;
    std::string target_file;
    std::string ld_output_option;
  } cases[] = {
      {"foo.cc", "", ".zrv", false, "foo.zrv", ""},
      {"foo.cc", "", ".mex", false, "foo.mex", ""},
      {"src/foo.cc", "", ".zrv", false, "foo.zrv", ""},
      {"foo.cc", "bar", ".zrv", false, "bar.zrv", ""},
      {"foo.cc", "bar.zrv", ".zrv", false, "bar.zrv", ""},
      {"foo.cc", "bar.ZRV", ".zrv", false, "bar.ZRV.zrv", ""},
      {"foo.cc", "ab", ".zrv", false, "ab.zrv", ""},
      {"foo.cc", "zrv", ".zrv", false, "zrv.zrv", ""},
      {"foo.cc", ".zrv", ".zrv", false, ".zrv", ""},
      {"foo.cc", "bar.zrv", ".mex", false, "bar.zrv.mex", ""},
      {"foo.cc", "bar.mex", ".mex", false, "bar.mex", ""},
      {"foo.cc", "out/dir.d/m", ".zrv", false, "out/dir.d/m.zrv", ""},
      {"foo.cc", "my mod", ".zrv", false, "my mod.zrv", ""},
      {"libx.a", "", ".zrv", false, "libx.zrv", ""},
      {"lib/util.o", "", ".zrv", false, "util.zrv", ""},
      {"", "", ".zrv", false, ".zrv", ""},
      // Stand-alone: the first file stays, the linker gets the output option or nothing.
      {"foo.cc", "prog", ".zrv", true, "foo.cc", "-o prog"},
      {"foo.cc", "prog.zrv", ".mex", true, "foo.cc", "-o prog.zrv"},
      {"foo.cc", "my prog", ".zrv", true, "foo.cc", "-o \"my prog\""},
      {"foo.cc", "\"my prog", ".zrv", true, "foo.cc", "-o '\"my prog'"},
      {"foo.cc", "\"my prog\"", ".zrv", true, "foo.cc", "-o \"my prog\""},
      {"foo.cc", "-prog", ".zrv", true, "foo.cc", "-o " + here + "-prog"},
      {"foo.cc", "@prog", ".zrv", true, "foo.cc", "-o " + here + "@prog"},
      {"foo.cc", "", ".zrv", true, "foo.cc", ""},
  };
  for (const auto& c : cases) {
    if (quoted_for_sh_only(c.output_file))
      continue;
    run_state run;
    run.target_file = c.first_file;
    run.output_file = c.output_file;
    run.target_ext = c.ext;
    run.link_stand_alone = c.stand_alone;
    setup_output_names(run);
    EXPECT_EQ(c.target_file, run.target_file) << c.first_file << " -o " << c.output_file;
    EXPECT_EQ(c.ld_output_option, run.ld_output_option) << c.first_file << " -o " << c.output_file;
  }
}

TEST(Compose, LinkCommands) {
  const struct {
    bool stand_alone;
    bool tokens;
    bool entries;
    std::string output_file;
    std::string command;
    std::string target_file = "m.zrv";
  } cases[] = {
      {false, true, false, "", "DLLD AXF DLF  -o m.zrv    LF -lzrvinterp -lzorvan ZO ZD"},
      {false, true, false, "", "DLLD AXF DLF  -o \"my m.zrv\"    LF -lzrvinterp -lzorvan ZO ZD",
       "my m.zrv"},
      {false, true, false, "", "DLLD AXF DLF  -o '\"my m.zrv'    LF -lzrvinterp -lzorvan ZO ZD",
       "\"my m.zrv"},
      {false, true, false, "", "DLLD AXF DLF  -o \"my m\".zrv    LF -lzrvinterp -lzorvan ZO ZD",
       "\"my m\".zrv"},
      {false, true, false, "", "DLLD AXF DLF  -o " + here + "@m.zrv    LF -lzrvinterp -lzorvan ZO ZD",
       "@m.zrv"},
      {false, true, true, "",
       "DLLD AXF DLF  -Wp -O0 -o m.zrv  u.o \"v w.o\"  l.a  -lm -Wl,-z LF -lzrvinterp -lzorvan "
       "ZO ZD"},
      {false, false, false, "", "    -o m.zrv     -lzrvinterp -lzorvan  "},
      {true, true, false, "", "LDX CPP AXF RDY ALF      LF -lzrvinterp -lzorvan  OO OD"},
      {true, true, false, "prog", "LDX CPP AXF RDY ALF  -o prog    LF -lzrvinterp -lzorvan  OO OD"},
      {true, true, true, "prog",
       "LDX CPP AXF RDY ALF  -Wp -O0 -o prog  u.o \"v w.o\"  l.a  -lm -Wl,-z LF "
       "-lzrvinterp -lzorvan  OO OD"},
      {true, false, false, "", "           -lzrvinterp -lzorvan   "},
  };
  for (const auto& c : cases) {
    if (quoted_for_sh_only(c.target_file))
      continue;
    variable_table table = c.tokens ? token_table() : variable_table{};
    run_state run = accumulated(c.entries);
    run.target_file = c.target_file;
    run.link_stand_alone = c.stand_alone;
    if (!c.output_file.empty())
      run.ld_output_option = "-o " + c.output_file;
    const std::string command = c.stand_alone ? compose_stand_alone_link_command(run, table)
                                              : compose_module_link_command(run, table);
    EXPECT_EQ(c.command, command);
  }
}

TEST(Compose, StripTarget) {
  const struct {
    bool stand_alone;
    std::string target_file;
    std::string output_file;
    std::string default_name;
    std::string stripped;
  } cases[] = {
      {false, "foo.zrv", "", "a.out", "foo.zrv"},
      {false, "bar.zrv", "bar", "a.out", "bar.zrv"},  // the module name, extension added
      {false, "my mod.mex", "my mod", "a.out", "my mod.mex"},
      {true, "foo.cc", "prog", "a.out", "prog"},
      {true, "foo.cc", "", "a.out", "a.out"},  // never the first input file
      {true, "main.o", "", "a.exe", "a.exe"},
  };
  for (const auto& c : cases) {
    run_state run;
    run.link_stand_alone = c.stand_alone;
    run.target_file = c.target_file;
    run.output_file = c.output_file;
    EXPECT_EQ(c.stripped, strip_target(run, c.default_name)) << c.target_file;
  }
}

TEST(Phases, EmptyCompilerStopsBeforeItsSource) {
  const struct {
    const char* compiler;
    std::string message;
    std::string compiled_before;  // printed by this dry run
  } cases[] = {
      {"F77", "zrvbuild: no way to compile Fortran file sub/b.f\n", ""},
      {"CC", "zrvbuild: no way to compile C file my file.c\n",
       "F77 -c FPIC AFF    sub/b.f -o b.o\n"},
      {"CXX", "zrvbuild: no way to compile C++ file x.cc\n",
       "F77 -c FPIC AFF    sub/b.f -o b.o\n"
       "CC -c CPP CPIC ACF    \"my file.c\" -o \"my file.o\"\n"},
  };
  for (const auto& c : cases) {
    variable_table table = token_table();
    table[c.compiler] = "";
    run_state run;
    run.dry_run = true;
    run.fortran_files = {"sub/b.f"};
    run.c_files = {"my file.c"};
    run.cxx_files = {"x.cc"};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = compile_phase(run, table);
    EXPECT_EQ(c.compiled_before, testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.message, testing::internal::GetCapturedStderr());
    EXPECT_EQ(1, status);
  }
}

TEST(Phases, EmptyCompilerWithoutItsLanguageSaysNothing) {
  variable_table table = token_table();
  table["CC"] = "";
  run_state run;
  run.dry_run = true;
  run.cxx_files = {"x.cc"};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, compile_phase(run, table));
  EXPECT_EQ("CXX -c CPP XPIC AXF    x.cc -o x.o\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_EQ(" x.o", run.obj_files);
}

TEST(Phases, DryRunAppendsEveryObject) {
  variable_table table = token_table();
  run_state run;
  run.dry_run = true;
  run.link = false;
  run.output_file = "one.o";
  run.obj_files = " given.o";
  run.fortran_files = {"a.f"};
  run.c_files = {"b.c", "c.c"};
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, compile_phase(run, table));
  EXPECT_EQ(
      "F77 -c FPIC AFF    a.f -o one.o\n"
      "CC -c CPP CPIC ACF    b.c -o one.o\n"
      "CC -c CPP CPIC ACF    c.c -o one.o\n",
      testing::internal::GetCapturedStdout());
  EXPECT_EQ(" given.o one.o one.o one.o", run.obj_files);
}

TEST(Phases, StandAloneLinkNeedsALinker) {
  variable_table table = token_table();
  table["LD_CXX"] = "";
  run_state run;
  run.dry_run = true;
  run.link_stand_alone = true;
  run.strip = true;
  run.obj_files = " x.o";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(1, link_phase(run, table));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ("zrvbuild: no way to link stand-alone executable file\n",
            testing::internal::GetCapturedStderr());
}

TEST(Phases, EmptyModuleLinkerStillRuns) {
  variable_table table = token_table();
  table["DL_LD"] = "";
  run_state run;
  run.dry_run = true;
  run.strip = true;
  run.target_file = "x.zrv";
  run.obj_files = " x.o";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, link_phase(run, table));
  EXPECT_EQ(" AXF DLF  -o x.zrv  x.o   LF -lzrvinterp -lzorvan ZO ZD\nstrip x.zrv\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST(Phases, NamesWithBlanksStayWholeFromCompileToStrip) {
  variable_table table = token_table();
  run_state run;
  run.dry_run = true;
  run.strip = true;
  run.target_file = "my mod.zrv";
  run.fortran_files = {"my a.f"};
  run.c_files = {"b.c", "\"q c.c"};
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, compile_phase(run, table));
  EXPECT_EQ(0, link_phase(run, table));
#ifdef _WIN32
  // cmd.exe: double quotes around the whole name, its own quote kept.
  const std::string q_c = "\"\"q c.c\"";
  const std::string q_o = "\"\"q c.o\"";
#else
  const std::string q_c = "'\"q c.c'";
  const std::string q_o = "'\"q c.o'";
#endif
  EXPECT_EQ("F77 -c FPIC AFF    \"my a.f\" -o \"my a.o\"\n"
            "CC -c CPP CPIC ACF    b.c -o b.o\n"
            "CC -c CPP CPIC ACF    " + q_c + " -o " + q_o + "\n"
            "DLLD AXF DLF  -o \"my mod.zrv\"  \"my a.o\" b.o " + q_o +
                "   LF -lzrvinterp -lzorvan ZO ZD\n"
                "strip \"my mod.zrv\"\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ(" \"my a.o\" b.o " + q_o, run.obj_files);
}

// A name that its caller quoted keeps its text from the compile to the strip, and so does every
// name made from it; a name that begins with '-' or '@' is written behind "./" (".\" on
// Windows) in each place.
TEST(Phases, PreQuotedAndOptionLikeNamesFromCompileToStrip) {
  const struct {
    std::string source, module, placed_source, placed_object, placed_module;
  } cases[] = {
      {"\"my file\".c", "\"my file\".zrv", "\"my file\".c", "\"my file\".o", "\"my file\".zrv"},
      {"-x.c", "-x.zrv", here + "-x.c", here + "-x.o", here + "-x.zrv"},
      {"@x.c", "@x.zrv", here + "@x.c", here + "@x.o", here + "@x.zrv"},
  };
  for (const auto& c : cases) {
    variable_table table = token_table();
    run_state run;
    run.dry_run = true;
    run.strip = true;
    run.target_file = c.module;
    run.c_files = {c.source};
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, compile_phase(run, table));
    EXPECT_EQ(0, link_phase(run, table));
    EXPECT_EQ("CC -c CPP CPIC ACF    " + c.placed_source + " -o " + c.placed_object + "\n" +
                  "DLLD AXF DLF  -o " + c.placed_module + "  " + c.placed_object +
                  "   LF -lzrvinterp -lzorvan ZO ZD\n"
                  "strip " + c.placed_module + "\n",
              testing::internal::GetCapturedStdout())
        << c.source;
  }
}
