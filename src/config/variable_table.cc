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
  bool from_environment;
};

// Rows set in this order after CPPFLAGS and INCFLAGS; the link lists are filled in separately
// because they are build constants of their own.
const plain_default tool_defaults[] = {
    {"F77", true},         {"FFLAGS", true},        {"FPICFLAG", true},
    {"CC", true},          {"CFLAGS", true},        {"CPICFLAG", true},
    {"CXX", true},         {"CXXFLAGS", true},      {"CXXPICFLAG", true},
    {"XTRA_CFLAGS", true}, {"XTRA_CXXFLAGS", true}, {"AR", true},
    {"RANLIB", true},      {"DEPEND_FLAGS", true},  {"DEPEND_EXTRA_SED_PATTERN", true},
    {"DL_LD", true},       {"DL_LDFLAGS", true},    {"RDYNAMIC_FLAG", true},
    {"LIBZORVAN", false},  {"LIBZRVINTERP", false}, {"READLINE_LIBS", false},
    {"LAPACK_LIBS", true}, {"BLAS_LIBS", true},
};

std::string configured_default(const table_constants& constants, const char* name) {
  auto found = constants.defaults.find(name);
  return found == constants.defaults.end() ? std::string() : found->second;
}

}  // namespace

void fill_table_from(variable_table& table, environment_lookup lookup,
                     const table_constants& constants) {
  const std::string& p = constants.prefix;
  const char separator = constants.separator;
  auto set_from_env = [&](const char* name, const std::string& fallback) {
    table[name] = env_or_default(lookup, name, fallback);
  };
  auto set_configured = [&](const char* name) {
    set_from_env(name, configured_default(constants, name));
  };
  auto set_rebased = [&](const char* name) {
    set_from_env(name,
                 rebase_to_root(configured_default(constants, name), constants.root, p, separator));
  };

  table["ZORVAN_HOME"] = constants.root;
  table["ZORVAN_PREFIX"] = p;
  set_configured("SED");

  set_rebased("ZRVINCLUDEDIR");
  set_rebased("INCLUDEDIR");
  set_rebased("LIBDIR");
  set_rebased("ZRVLIBDIR");

  const std::string& zrv_include = table["ZRVINCLUDEDIR"];
  std::string incflags =
      "-I" + quote_if_blank(zrv_include + separator + "..") + " -I" + quote_if_blank(zrv_include);
  if (table["INCLUDEDIR"] != "/usr/include") incflags += " -I" + quote_if_blank(table["INCLUDEDIR"]);

  std::string lflags = "-L" + quote_if_blank(table["ZRVLIBDIR"]);
  if (table["LIBDIR"] != "/usr/lib") lflags += " -L" + quote_if_blank(table["LIBDIR"]);

  set_configured("CPPFLAGS");
  set_from_env("INCFLAGS", incflags);

  for (const plain_default& row : tool_defaults) {
    if (row.from_environment) {
      set_configured(row.name);
    } else {
      table[row.name] = configured_default(constants, row.name);
    }
  }
  set_configured("FFTW3_LDFLAGS");
  set_configured("FFTW3_LIBS");
  set_configured("FFTW3F_LDFLAGS");
  set_configured("FFTW3F_LIBS");
  set_configured("LIBS");
  set_from_env("FLIBS", constants.flibs);
  set_from_env("ZORVAN_LINK_DEPS", constants.zorvan_link_deps);
  set_from_env("ZORVAN_LINK_OPTS", constants.zorvan_link_opts);
  set_from_env("ZRV_LINK_DEPS", constants.zrv_link_deps);
  set_from_env("ZRV_LINK_OPTS", constants.zrv_link_opts);
  set_configured("LD_CXX");
  set_from_env("LDFLAGS", constants.ldflags);
  set_configured("LD_STATIC_FLAG");

  set_from_env("LFLAGS", lflags);
  set_configured("F77_INTEGER8_FLAG");

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
  for (const auto& row : build_constants::defaults)
    constants.defaults[row[0]] = row[1];
  constants.separator = build_constants::separator;
  return constants;
}

void fill_variable_table() {
  fill_table_from(the_variable_table(), process_environment,
                  built_table_constants(process_installation_root(build_constants::prefix,
                                                                  build_constants::separator)));
}
