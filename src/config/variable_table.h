// The variable table: every compiler name, flag set, directory and library list that zrvbuild
// puts into a command, by name, with its compiled-in default and environment override.
#pragma once

#include <map>
#include <string>

using variable_table = std::map<std::string, std::string>;

// The process-wide table. Empty until fill_variable_table runs.
variable_table& the_variable_table();

// Reads a name; a name the table does not hold reads as "" and is added with that value.
std::string& table_value(const std::string& name);

// Looks up one environment variable; returns nullptr when it is not set.
using environment_lookup = const char* (*)(const char* name);

// The constants a fill needs besides the environment.
struct table_constants {
  std::string prefix;         // the build prefix {P}
  std::string version;        // the version string {V}, already in the directory defaults
  std::string root;           // the installation root, never empty
  std::string ldflags;        // the configured link lists
  std::string flibs;
  std::string zorvan_link_deps;
  std::string zorvan_link_opts;
  std::string zrv_link_deps;
  std::string zrv_link_opts;
  // The build configuration's other defaults by variable name; a name not here defaults to "".
  std::map<std::string, std::string> defaults;
  // What every '/' of a rebased directory becomes; the standard configuration's backslash
  // unless the build configuration keeps forward slashes.
  char separator = '\\';
};

// The value of the environment variable when it is set and not empty, else the default.
std::string env_or_default(environment_lookup lookup, const char* name, const std::string& fallback);

// Fills a table in the fixed order of its steps; composed values are joined by single blanks
// and computed once, here.
void fill_table_from(variable_table& table, environment_lookup lookup,
                     const table_constants& constants);

// The constants of this build with the given installation root.
table_constants built_table_constants(const std::string& root);

// Fills the process-wide table from the build constants, the process environment and the
// installation root of this process.
void fill_variable_table();
