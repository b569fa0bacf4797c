// Filling the variable table from chosen constants and a fake environment: every default, every
// override and the composition of the flag sets, compared as whole tables.
#include "config/variable_table.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "build_constants.h"
#include "support/default_table.h"

namespace {

using environment = std::map<std::string, std::string>;

const environment* fake_environment = nullptr;

const char* fake_lookup(const char* name) {
  auto found = fake_environment->find(name);
  return found == fake_environment->end() ? nullptr : found->second.c_str();
}

const char* const test_prefix = "/opt/zorvan";

table_constants test_constants(const std::string& root = test_prefix) {
  table_constants c;
  c.prefix = test_prefix;
  c.version = "9.2.0";
  c.root = root;
  c.ldflags = "-Wl,ld-list -Lld";
  c.flibs = " -Lflibs -lgfortran";
  c.zorvan_link_deps = " -Ldeps -lz -lgfortran";
  c.zorvan_link_opts = "  -Lopts ";
  c.zrv_link_deps = "  -Ldeps -lz -lgfortran";
  c.zrv_link_opts = "-Wl,ld-list -Lld   -Lopts ";
  c.defaults = standard_defaults(c.prefix, c.version);
  return c;
}

variable_table filled(const environment& env, const table_constants& constants) {
  fake_environment = &env;
  variable_table table;
  fill_table_from(table, fake_lookup, constants);
  fake_environment = nullptr;
  return table;
}

variable_table as_table(const std::vector<std::pair<std::string, std::string>>& rows) {
  return variable_table(rows.begin(), rows.end());
}

variable_table default_with(const table_constants& constants,
                            const std::vector<std::pair<std::string, std::string>>& changes) {
  variable_table table = as_table(default_table(constants));
  for (const auto& change : changes) table.at(change.first) = change.second;
  return table;
}

// Reports the names whose values differ, with both values, instead of two whole tables.
std::string table_difference(const variable_table& expected, const variable_table& actual) {
  std::ostringstream out;
  for (const auto& row : expected) {
    auto found = actual.find(row.first);
    if (found == actual.end()) {
      out << row.first << " missing\n";
    } else if (found->second != row.second) {
      out << row.first << ": expected [" << row.second << "] got [" << found->second << "]\n";
    }
  }
  for (const auto& row : actual) {
    if (expected.count(row.first) == 0) out << row.first << " unexpected [" << row.second << "]\n";
  }
  return out.str();
}

// Whether the text is exactly these items, separated by runs of blanks, with any blanks before
// the first and after the last. Items may hold blanks themselves (a prefix with a blank).
::testing::AssertionResult is_list_of(const std::string& text,
                                      const std::vector<std::string>& items) {
  std::string::size_type pos = text.find_first_not_of(' ');
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (pos == std::string::npos || text.compare(pos, items[i].size(), items[i]) != 0) {
      return ::testing::AssertionFailure() << "item " << i << " [" << items[i] << "] not at "
                                           << pos << " of [" << text << "]";
    }
    pos += items[i].size();
    if (i + 1 < items.size() && (pos >= text.size() || text[pos] != ' ')) {
      return ::testing::AssertionFailure() << "no blank after item " << i;
    }
    pos = text.find_first_not_of(' ', pos);
  }
  if (pos != std::string::npos) return ::testing::AssertionFailure() << "left over at " << pos;
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(VariableTable, EmptyEnvironmentGivesEveryDefault) {
  const table_constants constants = test_constants();
  const variable_table table = filled({}, constants);
  EXPECT_EQ(54u, table.size());
  EXPECT_EQ("", table_difference(as_table(default_table(constants)), table));

  // The documented examples, spelled out once.
  EXPECT_EQ("gcc -std=gnu11", table.at("CC"));
  EXPECT_EQ("-g -O2 -mieee-fp ", table.at("ALL_FFLAGS"));
  EXPECT_EQ("-lzrvinterp -lzorvan ", table.at("ZORVAN_LIBS"));
  EXPECT_EQ("", table.at("SPECIAL_MATH_LIB"));
  EXPECT_EQ("  -Wl,ld-list -Lld", table.at("ALL_LDFLAGS"));
  EXPECT_EQ("-L/opt/zorvan/lib  -lfftw3  -L/opt/zorvan/lib  -lfftw3f ", table.at("FFTW_LIBS"));
  EXPECT_EQ("-I\\opt\\zorvan\\include\\zorvan-9.2.0\\zorvan\\.. "
            "-I\\opt\\zorvan\\include\\zorvan-9.2.0\\zorvan -I\\opt\\zorvan\\include",
            table.at("INCFLAGS"));
  EXPECT_EQ("-L\\opt\\zorvan\\lib\\zorvan\\9.2.0 -L\\opt\\zorvan\\lib", table.at("LFLAGS"));
}

TEST(VariableTable, EnvironmentOverrides) {
  const table_constants constants = test_constants();
  const std::string rebased_include = "\\opt\\zorvan\\include";
  const std::string zrv_include = "\\opt\\zorvan\\include\\zorvan-9.2.0\\zorvan";
  const std::string incflags =
      "-I" + zrv_include + "\\.. -I" + zrv_include + " -I" + rebased_include;
  const std::string xtra = "  -pthread -fopenmp -mieee-fp ";
  const struct {
    const char* what;
    environment env;
    std::vector<std::pair<std::string, std::string>> changes;
  } cases[] = {
      {"empty value counts as absent", {{"CC", ""}, {"CFLAGS", ""}, {"INCFLAGS", ""}}, {}},
      {"plain override", {{"CC", "clang"}}, {{"CC", "clang"}}},
      {"blank value counts as set", {{"SED", " "}}, {{"SED", " "}}},
      {"blank extra flags keep their blanks",
       {{"XTRA_CFLAGS", " "}},
       {{"XTRA_CFLAGS", " "}, {"ALL_CFLAGS", incflags + "   -g -O2"}}},
      {"parts flow into the composed flags",
       {{"CFLAGS", "-O3"}, {"XTRA_CXXFLAGS", "-x"}, {"FFLAGS", "-O1"},
        {"F77_INTEGER8_FLAG", "-fdefault-integer-8"}},
       {{"CFLAGS", "-O3"},
        {"XTRA_CXXFLAGS", "-x"},
        {"FFLAGS", "-O1"},
        {"F77_INTEGER8_FLAG", "-fdefault-integer-8"},
        {"ALL_CFLAGS", incflags + xtra + "-O3"},
        {"ALL_CXXFLAGS", incflags + " -x -g -O2"},
        {"ALL_FFLAGS", "-O1 -fdefault-integer-8"}}},
      {"link flags",
       {{"LD_STATIC_FLAG", "-static"}, {"CPICFLAG", "-fPIC"}, {"LDFLAGS", "-Lx"}},
       {{"LD_STATIC_FLAG", "-static"},
        {"CPICFLAG", "-fPIC"},
        {"LDFLAGS", "-Lx"},
        {"ALL_LDFLAGS", "-static -fPIC -Lx"}}},
      {"fftw parts",
       {{"FFTW3_LDFLAGS", "a"}, {"FFTW3_LIBS", "b"}, {"FFTW3F_LDFLAGS", "c"}, {"FFTW3F_LIBS", "d"}},
       {{"FFTW3_LDFLAGS", "a"},
        {"FFTW3_LIBS", "b"},
        {"FFTW3F_LDFLAGS", "c"},
        {"FFTW3F_LIBS", "d"},
        {"FFTW_LIBS", "a b c d"}}},
      {"INCFLAGS replaces the composed default whole",
       {{"INCFLAGS", "-Ifoo"}},
       {{"INCFLAGS", "-Ifoo"},
        {"ALL_CFLAGS", "-Ifoo" + xtra + "-g -O2"},
        {"ALL_CXXFLAGS", "-Ifoo" + xtra + "-g -O2"}}},
      {"LFLAGS replaces the composed default whole", {{"LFLAGS", "-Lbar"}}, {{"LFLAGS", "-Lbar"}}},
      {"a directory from the environment is neither rebased nor converted",
       {{"ZRVINCLUDEDIR", "C:/inc/z"}},
       {{"ZRVINCLUDEDIR", "C:/inc/z"},
        {"INCFLAGS", "-IC:/inc/z\\.. -IC:/inc/z -I" + rebased_include},
        {"ALL_CFLAGS", "-IC:/inc/z\\.. -IC:/inc/z -I" + rebased_include + xtra + "-g -O2"},
        {"ALL_CXXFLAGS", "-IC:/inc/z\\.. -IC:/inc/z -I" + rebased_include + xtra + "-g -O2"}}},
      {"INCLUDEDIR /usr/include drops the third item",
       {{"INCLUDEDIR", "/usr/include"}},
       {{"INCLUDEDIR", "/usr/include"},
        {"INCFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include},
        {"ALL_CFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include + xtra + "-g -O2"},
        {"ALL_CXXFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include + xtra + "-g -O2"}}},
      {"INCLUDEDIR /usr/include/ keeps it",
       {{"INCLUDEDIR", "/usr/include/"}},
       {{"INCLUDEDIR", "/usr/include/"},
        {"INCFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include + " -I/usr/include/"},
        {"ALL_CFLAGS",
         "-I" + zrv_include + "\\.. -I" + zrv_include + " -I/usr/include/" + xtra + "-g -O2"},
        {"ALL_CXXFLAGS",
         "-I" + zrv_include + "\\.. -I" + zrv_include + " -I/usr/include/" + xtra + "-g -O2"}}},
      {"INCLUDEDIR \\usr\\include keeps it",
       {{"INCLUDEDIR", "\\usr\\include"}},
       {{"INCLUDEDIR", "\\usr\\include"},
        {"INCFLAGS", "-I" + zrv_include + "\\.. -I" + zrv_include + " -I\\usr\\include"},
        {"ALL_CFLAGS",
         "-I" + zrv_include + "\\.. -I" + zrv_include + " -I\\usr\\include" + xtra + "-g -O2"},
        {"ALL_CXXFLAGS",
         "-I" + zrv_include + "\\.. -I" + zrv_include + " -I\\usr\\include" + xtra + "-g -O2"}}},
      {"LIBDIR /usr/lib drops the second item",
       {{"LIBDIR", "/usr/lib"}},
       {{"LIBDIR", "/usr/lib"}, {"LFLAGS", "-L\\opt\\zorvan\\lib\\zorvan\\9.2.0"}}},
      {"LIBDIR /usr/lib/ keeps it",
       {{"LIBDIR", "/usr/lib/"}},
       {{"LIBDIR", "/usr/lib/"}, {"LFLAGS", "-L\\opt\\zorvan\\lib\\zorvan\\9.2.0 -L/usr/lib/"}}},
      {"ZRVLIBDIR from the environment",
       {{"ZRVLIBDIR", "/z lib"}},
       {{"ZRVLIBDIR", "/z lib"}, {"LFLAGS", "-L\"/z lib\" -L\\opt\\zorvan\\lib"}}},
      {"FLIBS, LDFLAGS and LIBS leave the configured lists alone",
       {{"FLIBS", "-lgfortran"}, {"LDFLAGS", "-Lnew"}, {"LIBS", "-lm"}},
       {{"FLIBS", "-lgfortran"},
        {"LDFLAGS", "-Lnew"},
        {"LIBS", "-lm"},
        {"ALL_LDFLAGS", "  -Lnew"}}},
      {"every configured list and tool",
       {{"F77", "f"}, {"FPICFLAG", "fp"}, {"CXX", "cx"}, {"CXXPICFLAG", "xp"}, {"AR", "a"},
        {"RANLIB", "r"}, {"DEPEND_FLAGS", "-MM"}, {"DEPEND_EXTRA_SED_PATTERN", "s"},
        {"DL_LD", "ld"}, {"DL_LDFLAGS", "-dll"}, {"RDYNAMIC_FLAG", "-rd"},
        {"LAPACK_LIBS", "-ll"}, {"BLAS_LIBS", "-lb"}, {"ZORVAN_LINK_DEPS", "zd"},
        {"ZORVAN_LINK_OPTS", "zo"}, {"ZRV_LINK_DEPS", "rd"}, {"ZRV_LINK_OPTS", "ro"},
        {"LD_CXX", "lx"}, {"CPPFLAGS", "-Ic"}},
       {{"F77", "f"}, {"FPICFLAG", "fp"}, {"CXX", "cx"}, {"CXXPICFLAG", "xp"}, {"AR", "a"},
        {"RANLIB", "r"}, {"DEPEND_FLAGS", "-MM"}, {"DEPEND_EXTRA_SED_PATTERN", "s"},
        {"DL_LD", "ld"}, {"DL_LDFLAGS", "-dll"}, {"RDYNAMIC_FLAG", "-rd"},
        {"LAPACK_LIBS", "-ll"}, {"BLAS_LIBS", "-lb"}, {"ZORVAN_LINK_DEPS", "zd"},
        {"ZORVAN_LINK_OPTS", "zo"}, {"ZRV_LINK_DEPS", "rd"}, {"ZRV_LINK_OPTS", "ro"},
        {"LD_CXX", "lx"}, {"CPPFLAGS", "-Ic"}}},
      {"composed and fixed values ignore the environment",
       {{"ALL_CFLAGS", "x"}, {"ALL_CXXFLAGS", "x"}, {"ALL_FFLAGS", "x"}, {"ALL_LDFLAGS", "x"},
        {"ZORVAN_LIBS", "x"}, {"FFTW_LIBS", "x"}, {"SPECIAL_MATH_LIB", "-lmath"},
        {"LIBZORVAN", "x"}, {"LIBZRVINTERP", "x"}, {"READLINE_LIBS", "x"},
        {"ZORVAN_PREFIX", "x"}, {"ZORVAN_HOME", "C:\\elsewhere"}},
       {}},
      {"names are case-sensitive", {{"cc", "clang"}, {"Cflags", "-O0"}}, {}},
  };
  for (const auto& c : cases) {
    const variable_table table = filled(c.env, constants);
    EXPECT_EQ("", table_difference(default_with(constants, c.changes), table)) << c.what;
  }
}

TEST(VariableTable, RebasingOntoTheInstallationRoot) {
  const std::string xtra = "  -pthread -fopenmp -mieee-fp -g -O2";
  {
    const table_constants constants = test_constants("C:\\Z");
    const variable_table table = filled({}, constants);
    const std::string incflags =
        "-IC:\\Z\\include\\zorvan-9.2.0\\zorvan\\.. -IC:\\Z\\include\\zorvan-9.2.0\\zorvan "
        "-IC:\\Z\\include";
    EXPECT_EQ("C:\\Z", table.at("ZORVAN_HOME"));
    EXPECT_EQ("C:\\Z\\include\\zorvan-9.2.0\\zorvan", table.at("ZRVINCLUDEDIR"));
    EXPECT_EQ(incflags, table.at("INCFLAGS"));
    EXPECT_EQ("-LC:\\Z\\lib\\zorvan\\9.2.0 -LC:\\Z\\lib", table.at("LFLAGS"));
    EXPECT_EQ(incflags + xtra, table.at("ALL_CFLAGS"));
    // Only the four directory defaults follow the root.
    EXPECT_EQ("/opt/zorvan", table.at("ZORVAN_PREFIX"));
    EXPECT_EQ("-I/opt/zorvan/include", table.at("CPPFLAGS"));
    EXPECT_EQ("-L/opt/zorvan/lib ", table.at("FFTW3_LDFLAGS"));
    EXPECT_EQ("", table_difference(as_table(default_table(constants)), table));
  }
  {
    // The root itself is stored as given; the rebased directories get backslashes throughout.
    const variable_table table = filled({}, test_constants("D:/Zorvan"));
    EXPECT_EQ("D:/Zorvan", table.at("ZORVAN_HOME"));
    EXPECT_EQ("D:\\Zorvan\\include", table.at("INCLUDEDIR"));
    EXPECT_EQ("D:\\Zorvan\\lib", table.at("LIBDIR"));
  }
  {
    // A root with a blank: every directory item is quoted, "-I"/"-L" outside the quotes and
    // the two dots inside them; the table values themselves stay unquoted.
    const variable_table table = filled({}, test_constants("C:\\Program Files\\Z"));
    const std::string incflags =
        "-I\"C:\\Program Files\\Z\\include\\zorvan-9.2.0\\zorvan\\..\" "
        "-I\"C:\\Program Files\\Z\\include\\zorvan-9.2.0\\zorvan\" "
        "-I\"C:\\Program Files\\Z\\include\"";
    EXPECT_EQ("C:\\Program Files\\Z\\include\\zorvan-9.2.0\\zorvan", table.at("ZRVINCLUDEDIR"));
    EXPECT_EQ(incflags, table.at("INCFLAGS"));
    EXPECT_EQ("-L\"C:\\Program Files\\Z\\lib\\zorvan\\9.2.0\" -L\"C:\\Program Files\\Z\\lib\"",
              table.at("LFLAGS"));
    EXPECT_EQ(incflags + xtra, table.at("ALL_CXXFLAGS"));
  }
  {
    // A directory from the environment is used as given even when the root differs.
    const variable_table table = filled({{"LIBDIR", "/opt/zorvan/lib"}}, test_constants("C:\\Z"));
    EXPECT_EQ("/opt/zorvan/lib", table.at("LIBDIR"));
    EXPECT_EQ("-LC:\\Z\\lib\\zorvan\\9.2.0 -L/opt/zorvan/lib", table.at("LFLAGS"));
  }
}

TEST(VariableTable, EnvOrDefault) {
  const environment env = {{"SET", "value"}, {"EMPTY", ""}, {"BLANK", " "}, {"PADDED", " v "}};
  fake_environment = &env;
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"SET", "value"}, {"EMPTY", "fallback"}, {"BLANK", " "},
      {"PADDED", " v "}, {"UNSET", "fallback"}, {"set", "fallback"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, env_or_default(fake_lookup, c.name, "fallback")) << c.name;
  }
  fake_environment = nullptr;
}

TEST(VariableTable, ReadingAnAbsentNameAddsItEmpty) {
  variable_table& table = the_variable_table();
  const variable_table saved = table;
  table.clear();
  EXPECT_EQ("", table_value("NOT_A_VARIABLE"));
  EXPECT_EQ(1u, table.count("NOT_A_VARIABLE"));
  table_value("CC") = "gcc";
  table_value("CC") += " -d";
  EXPECT_EQ("gcc -d", table.at("CC"));
  EXPECT_EQ("", table_value("cc"));
  table = saved;
}

TEST(VariableTable, ConfiguredLinkListsOfThisBuild) {
  const std::string p = build_constants::prefix;
  const std::string t = build_constants::toolchain_dir;
  // {T} is the directory that holds {P}.
  if (p.rfind('/') > 0) {
    EXPECT_EQ(p.substr(0, p.rfind('/')), t);
  }

  const std::string libs =
      "-lm   -lgdi32 -lws2_32 -luser32 -lkernel32 -lgdi32 -lws2_32 -luser32 -lkernel32";
  const std::string gcc_dir = "-L" + t + "/lib/gcc/i686-w64-mingw32/4.9.4";
  const std::vector<std::string> ldflags = {"-Wl,-rpath-link," + p + "/lib", "-L" + p + "/lib",
                                            "-L" + p + "/lib", "-Wl,--export-all-symbols"};
  const std::vector<std::string> flibs = {
      "-L" + p + "/lib",
      gcc_dir,
      gcc_dir + "/../../../../i686-w64-mingw32/lib/../lib",
      gcc_dir + "/../../../../i686-w64-mingw32/lib",
      "-lm", "-lgfortran", "-lmingw32", "-lmoldname", "-lmingwex", "-lmsvcrt", "-lquadmath",
      "-ladvapi32", "-lshell32", "-luser32", "-lkernel32"};
  std::vector<std::string> deps = {
      "-L" + p + "/lib", "-lfreetype", "-lhdf5", "-lGraphicsMagick++", "-lGraphicsMagick", "-lz",
      "-lfftw3", "-lfftw3f", "-lopengl32", "-lglu32", "-L" + p + "/lib", "-lfontconfig",
      "-lfreetype", "-lgl2ps", "-ladvapi32", "-llapack", "-lws2_32", "-lws2_32", "-lws2_32",
      "-lws2_32", "-lcurl", "-lcholmod", "-lumfpack", "-lamd", "-lcamd", "-lcolamd", "-lccolamd",
      "-lcxsparse", "-lsuitesparseconfig", "-larpack", "-lqrupdate", "-lfftw3", "-lfftw3f",
      "-llapack", "-lopenblas", "-lreadline", "-ltermcap", "-L" + p + "/lib", "-lpcre"};
  deps.insert(deps.end(), flibs.begin(), flibs.end());
  const std::vector<std::string> libs_items = {"-lm", "-lgdi32", "-lws2_32", "-luser32",
                                               "-lkernel32", "-lgdi32", "-lws2_32", "-luser32",
                                               "-lkernel32"};
  deps.insert(deps.end(), libs_items.begin(), libs_items.end());
  const std::vector<std::string> opts(5, "-L" + p + "/lib");

  EXPECT_EQ(63u, deps.size());
  EXPECT_TRUE(is_list_of(build_constants::ldflags, ldflags));
  EXPECT_TRUE(is_list_of(build_constants::flibs, flibs));
  EXPECT_TRUE(is_list_of(build_constants::zorvan_link_deps, deps));
  EXPECT_TRUE(is_list_of(build_constants::zorvan_link_opts, opts));

  // The blanks that are part of the lists, and the relations between them.
  const std::string ld = build_constants::ldflags;
  const std::string fl = build_constants::flibs;
  const std::string zd = build_constants::zorvan_link_deps;
  const std::string zo = build_constants::zorvan_link_opts;
  EXPECT_NE(' ', ld.front());
  EXPECT_NE(' ', ld.back());
  EXPECT_EQ(" -", fl.substr(0, 2));
  EXPECT_EQ(" -", zd.substr(0, 2));
  EXPECT_EQ(fl + " " + libs, zd.substr(zd.size() - fl.size() - 1 - libs.size()));
  EXPECT_EQ("  -L", zo.substr(0, 4));
  EXPECT_EQ("/lib ", zo.substr(zo.size() - 5));
  EXPECT_EQ(" " + zd, std::string(build_constants::zrv_link_deps));
  EXPECT_EQ(ld + " " + zo, std::string(build_constants::zrv_link_opts));
}
