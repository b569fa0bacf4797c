// Reading module definitions and uses out of Fortran text, free and fixed form.
#include "phases/fortran_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/fortran_texts.h"

TEST(FortranScan, TableOfCases) {
  for (const scan_case& c : fortran_scan_cases()) {
    const fortran_scan scan = scan_fortran_text(c.text, c.fixed_form, c.preprocessed);
    EXPECT_EQ(c.defines, scan.defines) << c.name;
    EXPECT_EQ(c.uses, scan.uses) << c.name;
    EXPECT_EQ(c.opaque, scan.opaque) << c.name;
  }
}

TEST(FortranScan, IncludeLinesAndDirectives) {
  const struct {
    const char* text;
    bool fixed_form;
    bool preprocessed;
    std::vector<std::string> names;
    bool directive;  // of every name
    bool opaque;
  } cases[] = {
      {"  include 'a.inc'\n", false, false, {"a.inc"}, false, false},
      {"INCLUDE \"b.inc\" ! a comment\n", false, false, {"b.inc"}, false, false},
      {"      Include 'it''s.inc'\n", true, false, {"it's.inc"}, false, false},
      {"\tinclude 'tab.inc'\r\n", true, false, {"tab.inc"}, false, false},
      {"C     include 'commented.inc'\n! include 'gone.inc'\n", true, false, {}, false, false},
      {"x = 'a &\ninclude \"in_string.inc\"'\n", false, false, {}, false, false},
      {"#include \"q.h\"\n#  include <a.h>\n", false, true, {"q.h", "a.h"}, true, false},
      {"#include \"q.h\"\n", false, false, {}, false, false},
      {"#include MACRO_NAME\n", false, true, {}, true, true},
      {"#include \"unclosed\n", false, true, {}, true, true},
  };
  for (const auto& c : cases) {
    const fortran_scan scan = scan_fortran_text(c.text, c.fixed_form, c.preprocessed);
    std::vector<std::string> names;
    for (const fortran_include& include : scan.includes) {
      names.push_back(include.name);
      EXPECT_EQ(c.directive, include.directive) << c.text;
    }
    EXPECT_EQ(c.names, names) << c.text;
    EXPECT_EQ(c.opaque, scan.opaque) << c.text;
  }
}

TEST(FortranScan, IncludesFollowed) {
  const std::map<std::string, std::string> files = {
      {"src/uses.inc", "  use from_source_dir\n  include 'nested.inc'\n"},
      {"inc/nested.inc", "  use from_include_dir\n"},
      {"inc/uses.inc", "  use never_read\n"},
      {"inc/loop.inc", "  use looped\n  include 'loop.inc'\n"},
      {"inc/defs.inc", "module from_include\nend module\n"},
      {"inc/own.inc", "  use from_include\n"},
      {"hdr/a.h", "#include \"b.h\"\nuse from_a\n"},
      {"hdr/b.h", "use beside_a\n#ifdef X\n#endif\n"},
      {"inc/b.h", "use wrong_b\n"},
      {"/abs/x.inc", "use absolute\n"},
      {"inc/fixed.inc", "C     use commented\n      USE FIXED_INC\n"},
  };
  const fortran_file_reader read = [&files](const std::string& path, std::string& text) {
    const auto found = files.find(path);
    if (found == files.end())
      return false;
    text = found->second;
    return true;
  };
  const struct {
    const char* name;
    const char* text;
    bool preprocessed;
    std::vector<std::string> defines;
    std::vector<std::string> uses;
    bool opaque;
  } cases[] = {
      {"the source's directory first, then -I", "include 'uses.inc'\n", false, {},
       {"from_source_dir", "from_include_dir"}, false},
      {"a file including itself is read once", "include 'loop.inc'\n", false, {}, {"looped"},
       false},
      {"a module of an included file is the source's own", "include 'defs.inc'\ninclude 'own.inc'\n",
       false, {"from_include"}, {}, false},
      {"a missing file makes the source opaque", "include 'missing.inc'\nuse m\n", false, {},
       {"m"}, true},
      {"#include beside the header that names it; its conditionals count",
       "#include \"a.h\"\n", true, {}, {"from_a", "beside_a"}, true},
      {"an absolute name", "include '/abs/x.inc'\n", false, {}, {"absolute"}, false},
  };
  fortran_reading reading;
  reading.include_directories = {"src", "inc", "hdr"};
  for (const auto& c : cases) {
    fortran_scan scan = scan_fortran_text(c.text, false, c.preprocessed);
    follow_includes(scan, "src/s.F90", reading, read);
    EXPECT_EQ(c.defines, scan.defines) << c.name;
    EXPECT_EQ(c.uses, scan.uses) << c.name;
    EXPECT_EQ(c.opaque, scan.opaque) << c.name;
    EXPECT_TRUE(scan.includes.empty()) << c.name;
  }
  // Included files are read in the source's form.
  fortran_reading fixed = reading;
  fixed.fixed_form = true;
  fortran_scan scan = scan_fortran_text("      INCLUDE 'fixed.inc'\n", true, false);
  follow_includes(scan, "s.f", fixed, read);
  EXPECT_EQ(std::vector<std::string>{"fixed_inc"}, scan.uses);
}

TEST(FortranScan, ReadingFromTheCommand) {
  const struct {
    const char* source;
    std::vector<std::string> words;
    bool fixed_form;
    bool preprocessed;
    std::vector<std::string> directories;
  } cases[] = {
      {"a.f90", {"gfortran", "-E", "-O2", "a.f90"}, false, false, {""}},
      {"sub/a.F", {"gfortran", "-E", "sub/a.F"}, true, true, {"sub"}},
      {"a.f90", {"gfortran", "-E", "-cpp", "a.f90"}, false, true, {""}},
      {"a.F90", {"gfortran", "-E", "-cpp", "-nocpp", "a.F90"}, false, false, {""}},
      {"a.f", {"gfortran", "-E", "-ffree-form", "a.f"}, false, false, {""}},
      {"a.f90", {"gfortran", "-ffree-form", "-ffixed-form", "a.f90"}, true, false, {""}},
      {"/x/a.f90",
       {"gfortran", "-idirafter", "late", "-Ione", "-I", "two", "-idirafterlater", "-I.",
        "/x/a.f90"},
       false,
       false,
       {"/x", "one", "two", ".", "late", "later"}},
      {"a.f90", {"gfortran", "-Imy dir", "a.f90", "-I"}, false, false, {"", "my dir"}},
      {"c:\\src\\a.F90", {"gfortran"}, false, true, {"c:\\src"}},
  };
  for (const auto& c : cases) {
    const fortran_reading reading = read_fortran_command(c.source, c.words);
    EXPECT_EQ(c.fixed_form, reading.fixed_form) << c.source;
    EXPECT_EQ(c.preprocessed, reading.preprocessed) << c.source;
    EXPECT_EQ(c.directories, reading.include_directories) << c.source;
  }
}

TEST(FortranScan, FormFromTheName) {
  EXPECT_TRUE(is_fixed_form_fortran("a.f"));
  EXPECT_TRUE(is_fixed_form_fortran("a.F"));
  EXPECT_FALSE(is_fixed_form_fortran("a.f90"));
  EXPECT_FALSE(is_fixed_form_fortran("solverf90"));
  EXPECT_TRUE(is_preprocessed_fortran("a.F"));
  EXPECT_TRUE(is_preprocessed_fortran("a.F90"));
  EXPECT_FALSE(is_preprocessed_fortran("a.f90"));
  EXPECT_FALSE(is_preprocessed_fortran("a.f"));
}
