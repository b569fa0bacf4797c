// The module scan reads a preprocessed Fortran source as it stands wherever the preprocessor
// cannot change what the scan finds. Checked against the real GNU Fortran preprocessor: over the
// suite's Fortran texts (the scan's table, the module idiom sets, the texts of the preprocess
// tests) and a seeded generated table, the scan of the text as it stands and the scan of the
// preprocessor's output agree on every source that preprocessing_can_change_scan lets through.
// The generated table holds its share of sources that the preprocessor does change, so the test
// also shows that those are caught. ZRVBUILD_SCAN_RULE_CASES sets how many are generated.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "phases/fortran_preprocessing.h"
#include "phases/fortran_scan.h"
#include "support/fortran_texts.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

struct scan_source {
  std::string name;  // the source, first of the files
  std::vector<source_file> files;
  std::vector<std::string> flags;
};

std::string describe(const fortran_scan& scan) {
  std::string text = "defines";
  for (const std::string& name : scan.defines)
    text += " " + name;
  text += "; uses";
  for (const std::string& name : scan.uses)
    text += " " + name;
  return text + (scan.opaque ? "; opaque" : "");
}

bool same_scan(const fortran_scan& a, const fortran_scan& b) {
  return a.defines == b.defines && a.uses == b.uses && a.opaque == b.opaque;
}

bool is_lower_case_suffix(const std::string& name) {
  const std::string::size_type dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot, 2, ".f") == 0;
}

struct verdict {
  bool can_change = false;
  bool differ = false;
  std::string detail;
};

// What the rule says of the source, and whether the two scans differ, each as the module scan
// makes it: the text as it stands, or the output of the compiler's -E with the source's flags
// (a source whose preprocessor fails is scanned as it stands and opaque).
verdict judge(const scan_source& source) {
  scratch_dir dir;
  for (const source_file& file : source.files) {
    for (std::string::size_type slash = file.name.find('/'); slash != std::string::npos;
         slash = file.name.find('/', slash + 1)) {
      mkdir(dir.path(file.name.substr(0, slash)).c_str(), 0755);
    }
    write_file(dir.path(file.name), file.text);
  }
  std::vector<std::string> argv = {find_tool("gfortran"), "-E"};
  argv.insert(argv.end(), source.flags.begin(), source.flags.end());
  // A lower-case suffix is preprocessed only with -cpp.
  if (is_lower_case_suffix(source.name))
    argv.push_back("-cpp");
  argv.push_back(source.name);
  const fortran_reading reading = read_fortran_command(source.name, argv);
  const fortran_file_reader reader = [&dir](const std::string& path, std::string& text) {
    const std::string full = path[0] == '/' ? path : dir.path(path);
    if (!file_exists(full))
      return false;
    text = read_file(full);
    return true;
  };
  const std::string text = read_file(dir.path(source.name));
  fortran_scan raw = scan_fortran_text(text, reading.fixed_form, true);
  follow_includes(raw, source.name, reading, reader);

  const process_result output =
      run_program(argv, {std::string("PATH=") + tool_search_path()}, dir.root);
  fortran_scan preprocessed;
  if (output.status == 0) {
    preprocessed = scan_fortran_text(output.out, reading.fixed_form, false);
    follow_includes(preprocessed, source.name, reading, reader);
  } else {
    preprocessed = raw;
    preprocessed.opaque = true;
  }
  verdict result;
  result.can_change = preprocessing_can_change_scan(text, reading.fixed_form, argv);
  result.differ = !same_scan(raw, preprocessed);
  result.detail = "as it stands: " + describe(raw) + "\npreprocessed: " + describe(preprocessed) +
                  "\nflags:";
  for (const std::string& flag : source.flags)
    result.detail += " " + flag;
  result.detail += "\ntext:\n" + text + "\noutput:\n" + output.out + output.err;
  return result;
}

std::vector<scan_source> suite_sources() {
  std::vector<scan_source> sources;
  for (const scan_case& c : fortran_scan_cases()) {
    scan_source source;
    source.name = c.fixed_form ? "case.F" : "case.F90";
    source.files = {{source.name, c.text}};
    sources.push_back(source);
  }
  for (const idiom_set& set : module_idiom_sets()) {
    std::vector<std::string> flags;
    for (const std::string& arg : set.args) {
      if (arg[0] == '-')
        flags.push_back(arg);
    }
    for (const std::string& arg : set.args) {
      if (arg[0] == '-')
        continue;
      scan_source source{arg, set.files, flags};
      // The source first.
      for (std::size_t i = 0; i < source.files.size(); ++i) {
        if (source.files[i].name == arg)
          std::swap(source.files[0], source.files[i]);
      }
      sources.push_back(source);
    }
  }
  // The texts of the preprocess tests, with the flags they are compiled with.
  const std::vector<std::string> none;
  const std::vector<std::string> defines_x = {"-Iinc", "-idirafter", "late", "-DX=1", "-O1"};
  const std::vector<std::pair<std::string, std::vector<std::string>>> texts_and_flags = {
      {"      X = 1\n", none},
      {"      X = 1\n", defines_x},
      {"x = 1\n", none},
      {"#ifdef X\nuse m\n#endif\n", none},
      {"      MODULE M\n      END\n", none},
      {"#ifdef HAVE_M\n  use m\n#endif\n", none},
      {"#ifdef Z\n#endif\nsubroutine p\nend\n", none},
      {"#define NAME m\nmodule NAME\nend module\n", none},
      {"module NAME\nend module\n", {"-DNAME=m"}},
      {"#ifdef X\n#endif\n  call q\n", none},
  };
  for (const auto& one : texts_and_flags) {
    const bool fixed = one.first.compare(0, 6, "      ") == 0;
    const std::string name = fixed ? "p.F" : "p.F90";
    sources.push_back({name, {{name, one.first}}, one.second});
  }
  return sources;
}

// Lines that the scan reads and lines that the preprocessor may change, mixed at random.
const char* const free_form_lines[] = {
    "module mod_a", "end module mod_a", "use mod_b", "use, intrinsic :: iso_c_binding",
    "submodule (mod_a) sub_a", "include 'part.inc'", "x = 1; use mod_c", "s = 'abc &",
    "  &use not_me'", "use &", "  & mod_d", "! a comment naming _LP64", "! __FILE__ and use x",
    "! don't", "s = \"a'b\"", "x = _LP64", "x = 1_LP64", "use NAME", "module NAME", "NAME",
    "USEIT mod_e", "! F(", "F(", ")", "! )", "x = __LINE__", "s = __FILE__", "x = __VERSION__",
    "y = linux", "use __GNUC__", "x = a$_LP64", "! reads data/*.txt", "*/", "x = 1 \\",
    "\t use\tmod_t", "", "", "", "\n\n\n\n\n\n\n\n\n", "#define NAME mod_z", "#ifdef X",
    "#endif", "! cr\r  use mod_cr", "use mod_crlf\r", "x = 1.0_DP", "x = 1.0_dp",
    "__USER_LABEL_PREFIX__ use mod_f", "! see __func__", "use mod_g ! _LP64",
    "s = '_LP64 &", "  &! __FILE__'", "print *, \"use &", "! between", "  &mod_h\"",
    "C     use mod_fixed_looking", "10 use labelled", "use mod_q, only: a => b",
};

const char* const fixed_form_lines[] = {
    "      MODULE MOD_A", "      END MODULE", "      USE MOD_B", "C     comment _LP64",
    "*     __FILE__ and USE X", "c     don't", "     &  MOD_X", "      S = 'ABC", "     1DEF'",
    "C__GNUC__", "      X = __GNUC__", "      INCLUDE 'part.inc'", "d     use mod_debug",
    "      USE MOD_LONG                                                        MOD_CUT",
    "\tUSE MOD_TAB", "      USE NAME", "C     F(", "      F(", "     &)", "      X = 1 ! _LP64",
    "   ! __LINE__", "C", "c", "*>  __func__", "      USE __GNUC__", "      X = 1_LP64",
    "      CALL XERBLA( 'S', 1 )", "     !__FILE__", "      X = 1 \\", "! reads data/*.txt",
    "C     cr\r      USE MOD_CR", "      USE MOD_CRLF\r", "", "\n\n\n\n\n\n\n\n\n",
    "#ifdef X", "#endif", "      NAME", "      USEIT MOD_E", "100   USE LABELLED",
    "c     use hidden", "      X = linux",
};

const std::vector<std::vector<std::string>> generated_flags = {
    {}, {}, {}, {"-DNAME=mod_n"}, {"-DUSEIT=use"}, {"-DF(x)=x"}, {"-DC=x"}, {"-DX"},
    {"-Iinc", "-O2"}, {"-DOTHER=1"},
};

template <std::size_t n>
const char* pick(const char* const (&pool)[n], std::mt19937& random) {
  return pool[std::uniform_int_distribution<std::size_t>(0, n - 1)(random)];
}

std::vector<scan_source> generated_sources(std::size_t count) {
  std::mt19937 random(20261211);
  std::vector<scan_source> sources;
  for (std::size_t index = 0; index < count; ++index) {
    const bool fixed = index % 2 == 1;
    scan_source source;
    source.name = std::string("g") + (fixed ? ".F" : (index % 4 == 0 ? ".f90" : ".F90"));
    const std::size_t lines = std::uniform_int_distribution<std::size_t>(1, 8)(random);
    std::string text;
    for (std::size_t line = 0; line < lines; ++line)
      text += std::string(fixed ? pick(fixed_form_lines, random) : pick(free_form_lines, random)) +
              "\n";
    source.files = {{source.name, text}, {"part.inc", "      use mod_inc\n"}};
    source.flags = generated_flags[std::uniform_int_distribution<std::size_t>(
        0, generated_flags.size() - 1)(random)];
    sources.push_back(source);
  }
  return sources;
}

std::size_t generated_count() {
  const char* asked = std::getenv("ZRVBUILD_SCAN_RULE_CASES");
  return asked != nullptr ? std::strtoul(asked, nullptr, 10) : 120;
}

}  // namespace

TEST(ScanRule, RawAndPreprocessedScansAgreeWhereTheRuleSkips) {
  ZRV_NEED_TOOLS("gfortran");
  std::size_t skipped = 0;
  for (const scan_source& source : suite_sources()) {
    const verdict v = judge(source);
    skipped += !v.can_change;
    EXPECT_FALSE(!v.can_change && v.differ) << source.name << "\n" << v.detail;
  }
  // Most of the suite's texts are plain Fortran.
  EXPECT_GT(skipped, 60u);
}

TEST(ScanRule, GeneratedTable) {
  ZRV_NEED_TOOLS("gfortran");
  std::size_t skipped = 0, changed = 0;
  for (const scan_source& source : generated_sources(generated_count())) {
    const verdict v = judge(source);
    skipped += !v.can_change;
    changed += v.differ;
    EXPECT_FALSE(!v.can_change && v.differ) << source.name << "\n" << v.detail;
  }
  // The table holds both kinds in number: plain text, and text the preprocessor changes.
  EXPECT_GT(skipped, generated_count() / 10);
  EXPECT_GT(changed, generated_count() / 10);
}

TEST(ScanRule, EveryPredefinedNameIsKnownAsSuch) {
  ZRV_NEED_TOOLS("gfortran");
  const std::vector<std::vector<std::string>> flag_sets = {
      {}, {"-fopenmp"}, {"-fopenacc"}, {"-O2"}, {"-ffast-math"}, {"-fno-pic"}, {"-march=native"},
      {"-std=f2008"}, {"-pthread"}, {"-fdefault-integer-8"}};
  for (const std::vector<std::string>& flags : flag_sets) {
    scratch_dir dir;
    write_file(dir.path("empty.F90"), "");
    std::vector<std::string> argv = {find_tool("gfortran"), "-E", "-dM"};
    argv.insert(argv.end(), flags.begin(), flags.end());
    argv.push_back("empty.F90");
    const process_result r =
        run_program(argv, {std::string("PATH=") + tool_search_path()}, dir.root);
    ASSERT_EQ(0, r.status) << r.err;
    std::istringstream lines(r.out);
    std::size_t defined = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line.compare(0, 8, "#define ") != 0)
        continue;
      const std::string name = line.substr(8, line.find_first_of(" (", 8) - 8);
      ++defined;
      EXPECT_TRUE(could_be_predefined_macro(name)) << name << " with" << [&flags] {
        std::string all;
        for (const std::string& flag : flags)
          all += " " + flag;
        return all;
      }();
    }
    EXPECT_GT(defined, 10u);
  }
}
