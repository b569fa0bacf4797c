// The variable table and its filling order.
#include "config/variable_table.h"

#include <cstdlib>

#include "build_constants.h"
#include "config/install_root.h"
#include "text/text_rules.h"

variable_table& the_variable_table() {
  static variable_table table;
  return table;
}

std::string& table_value(const std::string& name) { return the_variable_table()[name]; }

std::string env_or_default(environment_lookup lookup, const char* name,
                           const std::string& fallback) {
  const char* value = lookup(name);
  if (value == nullptr || *value == '\0') return fallback;
  return value;
}

namespace {

struct plain_default {
  const char* name;
  const char* value;
  bool from_environment;
};

// Rows set in this order after CPPFLAGS and INCFLAGS; the link lists are filled in separately
// because they come from the build configuration.
const plain_default tool_defaults[] = {
    {"F77", "gfortran", true},
    {"FFLAGS", "-g -O2 -mieee-fp", true},
    {"FPICFLAG", "", true},
    {"CC", "gcc -std=gnu11", true},
    {"CFLAGS", "-g -O2", true},
    {"CPICFLAG", "", true},
    {"CXX", "g++ -std=gnu++11", true},
    {"CXXFLAGS", "-g -O2", true},
    {"CXXPICFLAG", "", true},
    {"XTRA_CFLAGS", " -pthread -fopenmp -mieee-fp", true},
    {"XTRA_CXXFLAGS", " -pthread -fopenmp -mieee-fp", true},
    {"AR", "ar", true},
    {"RANLIB", "ranlib", true},
    {"DEPEND_FLAGS", "-M", true},
    {"DEPEND_EXTRA_SED_PATTERN", "", true},
    {"DL_LD", "g++ -std=gnu++11", true},
    {"DL_LDFLAGS", "-shared", true},
    {"RDYNAMIC_FLAG", "", true},
    {"LIBZORVAN", "-lzorvan", false},
    {"LIBZRVINTERP", "-lzrvinterp", false},
    {"READLINE_LIBS", "-lreadline", false},
    {"LAPACK_LIBS", "-llapack", true},
    {"BLAS_LIBS", "-lopenblas", true},
};

}  // namespace

void fill_table_from(variable_table& table, environment_lookup lookup,
                     const table_constants& constants) {
  const std::string& p = constants.prefix;
  const std::string& v = constants.version;
  auto set_from_env = [&](const char* name, const std::string& fallback) {
    table[name] = env_or_default(lookup, name, fallback);
  };

  table["ZORVAN_HOME"] = constants.root;
  table["ZORVAN_PREFIX"] = p;
  set_from_env("SED", "/bin/sed");

  set_from_env("ZRVINCLUDEDIR", rebase_to_root(p + "/include/zorvan-" + v + "/zorvan",
                                               constants.root, p));
  set_from_env("INCLUDEDIR", rebase_to_root(p + "/include", constants.root, p));
  set_from_env("LIBDIR", rebase_to_root(p + "/lib", constants.root, p));
  set_from_env("ZRVLIBDIR", rebase_to_root(p + "/lib/zorvan/" + v, constants.root, p));

  const std::string& zrv_include = table["ZRVINCLUDEDIR"];
  std::string incflags = "-I" + quote_if_blank(zrv_include + "\\..") + " -I" +
                         quote_if_blank(zrv_include);
  if (table["INCLUDEDIR"] != "/usr/include") incflags += " -I" + quote_if_blank(table["INCLUDEDIR"]);

  std::string lflags = "-L" + quote_if_blank(table["ZRVLIBDIR"]);
  if (table["LIBDIR"] != "/usr/lib") lflags += " -L" + quote_if_blank(table["LIBDIR"]);

  set_from_env("CPPFLAGS", "-I" + p + "/include");
  set_from_env("INCFLAGS", incflags);

  for (const plain_default& row : tool_defaults) {
    if (row.from_environment) {
      set_from_env(row.name, row.value);
    } else {
      table[row.name] = row.value;
    }
  }
  set_from_env("FFTW3_LDFLAGS", "-L" + p + "/lib ");
  set_from_env("FFTW3_LIBS", "-lfftw3 ");
  set_from_env("FFTW3F_LDFLAGS", "-L" + p + "/lib ");
  set_from_env("FFTW3F_LIBS", "-lfftw3f ");
  set_from_env("LIBS",
               "-lm   -lgdi32 -lws2_32 -luser32 -lkernel32 -lgdi32 -lws2_32 -luser32 -lkernel32");
  set_from_env("FLIBS", constants.flibs);
  set_from_env("ZORVAN_LINK_DEPS", constants.zorvan_link_deps);
  set_from_env("ZORVAN_LINK_OPTS", constants.zorvan_link_opts);
  set_from_env("ZRV_LINK_DEPS", constants.zrv_link_deps);
  set_from_env("ZRV_LINK_OPTS", constants.zrv_link_opts);
  set_from_env("LD_CXX", "g++ -std=gnu++11");
  set_from_env("LDFLAGS", constants.ldflags);
  set_from_env("LD_STATIC_FLAG", "");

  set_from_env("LFLAGS", lflags);
  set_from_env("F77_INTEGER8_FLAG", "");

  table["ALL_FFLAGS"] = table["FFLAGS"] + " " + table["F77_INTEGER8_FLAG"];
  table["ALL_CFLAGS"] = table["INCFLAGS"] + " " + table["XTRA_CFLAGS"] + " " + table["CFLAGS"];
  table["ALL_CXXFLAGS"] =
      table["INCFLAGS"] + " " + table["XTRA_CXXFLAGS"] + " " + table["CXXFLAGS"];
  table["ALL_LDFLAGS"] =
      table["LD_STATIC_FLAG"] + " " + table["CPICFLAG"] + " " + table["LDFLAGS"];
  // SPECIAL_MATH_LIB is set by nothing: this read brings it into the table, empty.
  table["ZORVAN_LIBS"] =
      table["LIBZRVINTERP"] + " " + table["LIBZORVAN"] + " " + table["SPECIAL_MATH_LIB"];
  table["FFTW_LIBS"] = table["FFTW3_LDFLAGS"] + " " + table["FFTW3_LIBS"] + " " +
                       table["FFTW3F_LDFLAGS"] + " " + table["FFTW3F_LIBS"];
}

namespace {

const char* process_environment(const char* name) { return std::getenv(name); }

}  // namespace

table_constants built_table_constants(const std::string& root) {
  table_constants constants;
  constants.prefix = build_constants::prefix;
  constants.version = build_constants::version;
  constants.root = root;
  constants.ldflags = build_constants::ldflags;
  constants.flibs = build_constants::flibs;
  constants.zorvan_link_deps = build_constants::zorvan_link_deps;
  constants.zorvan_link_opts = build_constants::zorvan_link_opts;
  constants.zrv_link_deps = build_constants::zrv_link_deps;
  constants.zrv_link_opts = build_constants::zrv_link_opts;
  return constants;
}

void fill_variable_table() {
  fill_table_from(the_variable_table(), process_environment,
                  built_table_constants(process_installation_root(build_constants::prefix)));
}
