// -p as users meet it: every variable's default with an empty environment, and the process
// environment overriding, being ignored and moving the installation root.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/default_table.h"
#include "support/process.h"

namespace {

std::map<std::string, std::string> built_defaults() {
  std::map<std::string, std::string> values;
  for (const auto& row : default_table(built_table_constants())) values[row.first] = row.second;
  return values;
}

}  // namespace

TEST(PrintVariable, EveryNameWithAnEmptyEnvironment) {
  const auto rows = default_table(built_table_constants());
  ASSERT_EQ(54u, rows.size());
  for (const auto& row : rows) {
    const process_result r = run_zrvbuild({"-p", row.first});
    EXPECT_EQ(row.second + "\n", r.out) << row.first;
    EXPECT_EQ("", r.err) << row.first;
    EXPECT_EQ(0, r.status) << row.first;
  }
}

TEST(PrintVariable, FromTheProcessEnvironment) {
  const std::map<std::string, std::string> d = built_defaults();
  const std::string p = built_prefix();
  const std::string v = built_version();
  const std::string xtra = "  -pthread -fopenmp -mieee-fp -g -O2";
  const std::string z_include = "C:\\Z\\include\\zorvan-" + v + "\\zorvan";
  const std::string z_incflags = "-I" + z_include + "\\.. -I" + z_include + " -IC:\\Z\\include";
  const std::string pf = "C:\\Program Files\\Z";
  const std::string zrv_include = with_backslashes(p + "/include/zorvan-" + v + "/zorvan");
  const struct {
    std::vector<std::string> env;
    const char* name;
    std::string value;
  } cases[] = {
      {{"ZORVAN_HOME=C:\\Z"}, "ZORVAN_HOME", "C:\\Z"},
      {{"ZORVAN_HOME=C:\\Z"}, "ZRVINCLUDEDIR", "C:\\Z\\include\\zorvan-" + v + "\\zorvan"},
      {{"ZORVAN_HOME=C:\\Z"}, "INCFLAGS", z_incflags},
      {{"ZORVAN_HOME=C:\\Z"}, "LFLAGS", "-LC:\\Z\\lib\\zorvan\\" + v + " -LC:\\Z\\lib"},
      {{"ZORVAN_HOME=C:\\Z"}, "ALL_CFLAGS", z_incflags + xtra},
      {{"ZORVAN_HOME=C:\\Z"}, "CPPFLAGS", "-I" + p + "/include"},
      {{"ZORVAN_HOME=C:\\Z"}, "ZORVAN_PREFIX", p},
      {{"ZORVAN_HOME=D:/Zorvan"}, "ZORVAN_HOME", "D:/Zorvan"},
      {{"ZORVAN_HOME=D:/Zorvan"}, "INCLUDEDIR", "D:\\Zorvan\\include"},
      {{"ZORVAN_HOME=" + pf}, "INCFLAGS",
       "-I\"" + pf + "\\include\\zorvan-" + v + "\\zorvan\\..\" -I\"" + pf + "\\include\\zorvan-" +
           v + "\\zorvan\" -I\"" + pf + "\\include\""},
      {{"ZORVAN_HOME=" + pf}, "LFLAGS",
       "-L\"" + pf + "\\lib\\zorvan\\" + v + "\" -L\"" + pf + "\\lib\""},
      {{"ZORVAN_HOME=" + pf}, "LIBDIR", pf + "\\lib"},
      {{"ZORVAN_HOME="}, "ZORVAN_HOME", p},
      {{"ZORVAN_HOME=" + p}, "INCLUDEDIR", with_backslashes(p + "/include")},
      {{"INCLUDEDIR=/usr/include"}, "INCFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include},
      {{"LIBDIR=/usr/lib"}, "LFLAGS", "-L" + with_backslashes(p + "/lib/zorvan/" + v)},
      {{"ZRVINCLUDEDIR=C:/inc/z"}, "INCFLAGS",
       "-IC:/inc/z\\.. -IC:/inc/z -I" + with_backslashes(p + "/include")},
      {{"INCFLAGS=-Ifoo"}, "ALL_CXXFLAGS", "-Ifoo" + xtra},
      {{"CC="}, "CC", "gcc -std=gnu11"},
      {{"CC=clang"}, "CC", "clang"},
      {{"XTRA_CFLAGS= "}, "ALL_CFLAGS", d.at("INCFLAGS") + "   -g -O2"},
      {{"FLIBS=-lgfortran"}, "FLIBS", "-lgfortran"},
      {{"FLIBS=-lgfortran"}, "ZORVAN_LINK_DEPS", d.at("ZORVAN_LINK_DEPS")},
      {{"ALL_CFLAGS=x"}, "ALL_CFLAGS", d.at("ALL_CFLAGS")},
      {{"ZORVAN_LIBS=x"}, "ZORVAN_LIBS", d.at("ZORVAN_LIBS")},
      {{"LIBZORVAN=x"}, "LIBZORVAN", "-lzorvan"},
      {{"LIBZORVAN=x"}, "ZORVAN_LIBS", d.at("ZORVAN_LIBS")},
      {{"ZORVAN_PREFIX=x"}, "ZORVAN_PREFIX", p},
      {{"SPECIAL_MATH_LIB=-lm"}, "SPECIAL_MATH_LIB", ""},
      {{"SPECIAL_MATH_LIB=-lm"}, "ZORVAN_LIBS", d.at("ZORVAN_LIBS")},
      {{"cc=clang"}, "CC", "gcc -std=gnu11"},
      {{"cc=clang"}, "cc", ""},
      {{}, "Cc", ""},
      {{}, "NOT_A_VARIABLE", ""},
  };
  for (const auto& c : cases) {
    const process_result r = run_zrvbuild({"-p", c.name}, c.env);
    const std::string shown = (c.env.empty() ? std::string() : c.env[0]) + " -p " + c.name;
    EXPECT_EQ(c.value + "\n", r.out) << shown;
    EXPECT_EQ("", r.err) << shown;
    EXPECT_EQ(0, r.status) << shown;
  }
}
