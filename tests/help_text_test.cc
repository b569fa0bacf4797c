// The fixed texts: the help text rebuilt from its entries and layout rules, its size, the lines
// users quote, and its variable list against the names of a filled table.
#include "driver/help_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "build_constants.h"
#include "config/variable_table.h"

namespace {

struct help_entry {
  const char* forms;
  std::vector<const char*> description;
};

const help_entry entries[] = {
    {"-h, -?, --help", {"Print this message."}},
    {"-IDIR", {"Add -IDIR to compile commands."}},
    {"-idirafter DIR", {"Add -idirafter DIR to compile commands."}},
    {"-DDEF", {"Add -DDEF to compile commands."}},
    {"-lLIB", {"Add library LIB to link command."}},
    {"-LDIR", {"Add -LDIR to link command."}},
    {"-M, --depend", {"Generate dependency files (.d) for C and C++", "source files."}},
    {"-RDIR", {"Add -RDIR to link command."}},
    {"-Wl,...", {"Pass flags though the linker like -Wl,-rpath=..."}},
    {"-W...", {"Pass flags though the compiler like -Wa,OPTION."}},
    {"-c, --compile", {"Compile, but do not link."}},
    {"-o FILE, --output FILE",
     {"Output filename.  Default extension is .zrv",
      "(or .mex if --mex is specified) unless linking",
      "a stand-alone executable."}},
    {"-g", {"Enable debugging options for compilers."}},
    {"-p VAR, --print VAR", {"Print configuration variable VAR.  Recognized", "variables are:"}},
    {"--link-stand-alone", {"Link a stand-alone executable file."}},
    {"--mex",
     {"Assume we are creating a MEX file.  Set the", "default output extension to \".mex\"."}},
    {"-s, --strip", {"Strip output file."}},
    {"-n, --just-print, --dry-run", {"Print commands, but do not execute them."}},
    {"-v, --verbose", {"Echo commands as they are executed."}},
    {"FILE", {"Compile or link FILE.  Recognized file types are:"}},
};

const char* const variable_rows[][2] = {
    {"ALL_CFLAGS", "INCFLAGS"},
    {"ALL_CXXFLAGS", "INCLUDEDIR"},
    {"ALL_FFLAGS", "LAPACK_LIBS"},
    {"ALL_LDFLAGS", "LD_CXX"},
    {"AR", "LDFLAGS"},
    {"BLAS_LIBS", "LD_STATIC_FLAG"},
    {"CC", "LFLAGS"},
    {"CFLAGS", "LIBDIR"},
    {"CPICFLAG", "LIBZORVAN"},
    {"CPPFLAGS", "LIBZRVINTERP"},
    {"CXX", "LIBS"},
    {"CXXFLAGS", "ZORVAN_HOME"},
    {"CXXPICFLAG", "ZORVAN_LIBS"},
    {"DEPEND_EXTRA_SED_PATTERN", "ZORVAN_LINK_DEPS"},
    {"DEPEND_FLAGS", "ZORVAN_LINK_OPTS"},
    {"DL_LD", "ZORVAN_PREFIX"},
    {"DL_LDFLAGS", "ZRVINCLUDEDIR"},
    {"F77", "ZRVLIBDIR"},
    {"F77_INTEGER8_FLAG", "ZRV_LINK_DEPS"},
    {"FFLAGS", "ZRV_LINK_OPTS"},
    {"FFTW3F_LDFLAGS", "RANLIB"},
    {"FFTW3F_LIBS", "RDYNAMIC_FLAG"},
    {"FFTW3_LDFLAGS", "READLINE_LIBS"},
    {"FFTW3_LIBS", "SED"},
    {"FFTW_LIBS", "SPECIAL_MATH_LIB"},
    {"FLIBS", "XTRA_CFLAGS"},
    {"FPICFLAG", "XTRA_CXXFLAGS"},
};

const char* const file_rows[][2] = {
    {".c", "C source"},
    {".cc", "C++ source"},
    {".cp", "C++ source"},
    {".cpp", "C++ source"},
    {".CPP", "C++ source"},
    {".cxx", "C++ source"},
    {".c++", "C++ source"},
    {".C", "C++ source"},
    {".f", "Fortran source (fixed form)"},
    {".F", "Fortran source (fixed form)"},
    {".f90", "Fortran source (free form)"},
    {".F90", "Fortran source (free form)"},
    {".o", "object file"},
    {".a", "library file"},
};

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The help text as its layout rules describe it.
std::string laid_out_help() {
  const std::string continuation(26, ' ');
  const std::string list_indent(28, ' ');
  std::string text = "\nOptions:\n\n";
  for (const help_entry& entry : entries) {
    const std::string forms = entry.forms;
    std::size_t first_continuation = 1;
    if (forms.size() > 24) {
      text += "  " + forms + "\n";
      first_continuation = 0;
    } else {
      text += "  " + padded(forms, 24) + entry.description[0] + "\n";
    }
    for (std::size_t i = first_continuation; i < entry.description.size(); ++i) {
      text += continuation + entry.description[i] + "\n";
    }
    if (forms == "-p VAR, --print VAR") {
      text += "\n";
      for (const auto& row : variable_rows) {
        text += list_indent + padded(row[0], 28) + row[1] + "\n";
      }
    }
    if (forms == "FILE") {
      text += "\n";
      for (const auto& row : file_rows) text += list_indent + padded(row[0], 6) + row[1] + "\n";
    }
    text += "\n";
  }
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

const char* empty_environment(const char*) { return nullptr; }

}  // namespace

TEST(HelpText, FollowsItsLayoutByteForByte) {
  const std::string help = help_text;
  EXPECT_EQ(4103u, help.size());
  EXPECT_EQ(laid_out_help(), help);
  EXPECT_EQ(0u, help.find("\nOptions:\n\n  -h, -?, --help          Print this message.\n"));
  EXPECT_EQ("library file\n\n", help.substr(help.size() - 14));
}

TEST(HelpText, LinesAsQuoted) {
  const std::vector<std::string> lines = lines_of(help_text);
  auto has_line = [&lines](const std::string& line) {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  };
  EXPECT_TRUE(has_line("  -o FILE, --output FILE  Output filename.  Default extension is .zrv"));
  EXPECT_TRUE(has_line(std::string(28, ' ') + "DEPEND_EXTRA_SED_PATTERN    ZORVAN_LINK_DEPS"));
  EXPECT_TRUE(has_line(std::string(28, ' ') + ".f90  Fortran source (free form)"));
  EXPECT_TRUE(has_line("  -n, --just-print, --dry-run"));
  EXPECT_TRUE(has_line(std::string(26, ' ') + "Print commands, but do not execute them."));
  EXPECT_TRUE(
      has_line(std::string(26, ' ') + "default output extension to \".mex\"."));
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.empty() || line.back() != ' ') << "[" << line << "]";
    EXPECT_EQ(std::string::npos, line.find('\t')) << line;
    EXPECT_EQ(std::string::npos, line.find('\r')) << line;
  }
}

TEST(HelpText, ListsExactlyTheNamesOfAFilledTable) {
  std::set<std::string> listed;
  const std::string list_indent(28, ' ');
  bool in_variables = false;
  for (const std::string& line : lines_of(help_text)) {
    if (line.find("variables are:") != std::string::npos) in_variables = true;
    if (line.find("--link-stand-alone") != std::string::npos) in_variables = false;
    if (!in_variables || line.compare(0, 28, list_indent) != 0) continue;
    std::istringstream names(line);
    std::string name;
    while (names >> name) listed.insert(name);
  }
  EXPECT_EQ(54u, listed.size());

  table_constants constants;
  constants.prefix = "/p";
  constants.version = "1";
  constants.root = "/p";
  variable_table table;
  fill_table_from(table, empty_environment, constants);
  std::set<std::string> filled;
  for (const auto& row : table) filled.insert(row.first);
  EXPECT_EQ(filled, listed);
}

TEST(HelpText, UsageAndVersionLines) {
  EXPECT_STREQ("usage: zrvbuild [options] file ...", usage_line);
  EXPECT_EQ(std::string("zrvbuild, version ") + build_constants::version, version_line);
}
