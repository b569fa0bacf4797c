// When the module scan may read a source as it stands instead of its preprocessor's output.
#include "phases/fortran_preprocessing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FortranPreprocessing, TableOfTexts) {
  const std::vector<std::string> none;
  const struct {
    const char* name;
    std::string text;
    bool fixed_form;
    std::vector<std::string> words;
    bool can_change;
  } cases[] = {
      {"plain free form", "module m\n  use other\nend module\n", false, none, false},
      {"plain fixed form", "      SUBROUTINE S\n      USE M\n      END\n", true, none, false},
      {"empty text", "", false, none, false},
      {"a directive", "#ifdef X\nuse m\n#endif\n", false, none, true},
      {"a directive after blanks", "module m\n \t#define N 1\n", false, none, true},
      {"a directive after a form feed", "\f#include \"a.h\"\n", true, none, true},
      {"a directive in a comment's place", "c\n# 3\n", true, none, true},
      {"a C comment opening in a Fortran comment", "! reads data/*.txt\nuse m\n", false, none,
       true},
      {"a C comment opening in a string", "s = 'a/*b'\n", false, none, true},
      {"a line splice", "! a comment \\\nuse m\n", false, none, true},
      {"a line splice with blanks after it", "x = 1 \\ \t\nuse m\n", false, none, true},
      {"a line splice before a CRLF", "x = 1 \\\r\nuse m\r\n", false, none, true},
      {"a line splice on the last line", "x = 1 \\", false, none, true},
      {"a backslash inside a line", "s = 'a\\b'\n", false, none, false},
      {"CRLF line ends", "module m\r\nuse other\r\n", false, none, false},
      {"a lone carriage return", "! comment\r  use hidden\n", false, none, true},
      {"a carriage return ending the text", "use m\r", false, none, true},
      {"a predefined name in a use line", "use _LP64\n", false, none, true},
      {"a predefined name in any statement", "x = __GNUC__\n", false, none, true},
      {"a predefined name in a string", "s = '__FILE__'\n", false, none, true},
      {"a predefined name after digits", "x = 1_LP64\n", false, none, true},
      {"a predefined name after a dollar", "x = a$__LINE__\n", false, none, true},
      {"a predefined name inside a longer name", "x = my__GNUC__\n", false, none, false},
      {"a name with an underscore and a capital inside", "x = MY_VAR + b_C\n", false, none,
       false},
      {"a kind suffix in lower case", "x = 1.0_dp\n", false, none, false},
      {"a kind suffix in capitals reads as a reserved name", "x = 1.0_DP\n", false, none, true},
      {"a system name", "if (linux) x = 1\n", false, none, true},
      {"a predefined name in a free-form comment", "! see __func__ and _LP64\nuse m\n", false,
       none, false},
      {"a predefined name in a trailing comment", "use m ! _LP64\n", false, none, true},
      {"a predefined name in a fixed-form comment",
       "*> \\param[in] SRNAME_ARRAY\n*>     e.g. __func__\nC     __GNUC__\n      END\n", true,
       none, false},
      {"a bang comment in fixed form", "   ! __GNUC__\n      END\n", true, none, false},
      {"a bang in column 6 continues", "      X = 1\n     !__GNUC__\n", true, none, true},
      {"a predefined name in column 1 of a comment line", "c\nC__GNUC__\n", true, none, false},
      {"a fixed-form line in free form", "C     __GNUC__\n", false, none, true},
      {"a comment line after a continued line", "s = 'abc&\n! _LP64'\n", false, none, true},
      {"comment lines after a continued line and blanks", "use &\n\n! _LP64\n  m\n", false,
       none, true},
      {"a comment line after the continuation ended", "use &\n  m\n! _LP64\n", false, none,
       false},
      {"a defined name in a statement", "module NAME\n", false, {"gfortran", "-DNAME=m"}, true},
      {"a defined name as a separate word", "module NAME\n", false, {"gfortran", "-D", "NAME"},
       true},
      {"a defined name in a comment", "! NAME\nmodule m\n", false, {"gfortran", "-DNAME=m"},
       true},
      {"a defined name in a fixed-form comment", "C     F(\n      USE M\nC     )\n", true,
       {"gfortran", "-DF(x)=x"}, true},
      {"a defined name is matched in its case", "module name\n", false,
       {"gfortran", "-DNAME=m"}, false},
      {"an undefined name", "module NAME\n", false, {"gfortran", "-UNAME"}, false},
      {"a defined name the text does not hold", "module m\n", false,
       {"gfortran", "-DOTHER=1", "-I", "inc", "-O2"}, false},
      {"a definition spanning lines", "module m\n", false, {"gfortran", "-DX=1\nuse q"}, true},
      {"options passed to the preprocessor", "module m\n", false, {"gfortran", "-Wp,-DM=n"},
       true},
      {"-Xpreprocessor", "module m\n", false, {"gfortran", "-Xpreprocessor", "-DM=n"}, true},
      {"-include", "module m\n", false, {"gfortran", "-include", "defs.h"}, true},
      {"-imacros", "module m\n", false, {"gfortran", "-imacros", "defs.h"}, true},
      {"-trigraphs", "module m\n", false, {"gfortran", "-trigraphs"}, true},
      {"a file of arguments", "module m\n", false, {"gfortran", "@args"}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.can_change, preprocessing_can_change_scan(c.text, c.fixed_form, c.words))
        << c.name;
}

TEST(FortranPreprocessing, NamesThatMayBePredefined) {
  for (const char* name : {"__GNUC__", "__func__", "_LP64", "_OPENMP", "__pic__", "__", "unix",
                           "linux", "i386", "WIN32"}) {
    EXPECT_TRUE(could_be_predefined_macro(name)) << name;
  }
  for (const char* name : {"_lp64", "_", "_1", "LP64", "x__", "Linux", "module", ""})
    EXPECT_FALSE(could_be_predefined_macro(name)) << name;
}
