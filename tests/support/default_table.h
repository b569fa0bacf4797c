// The variable table a run starts with when the environment sets none of the variables: all 54
// names in filling order, each with its value written out from the documented defaults. Shared
// by the unit tests of the filling and the command-line tests of -p.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "build_constants.h"
#include "config/variable_table.h"

inline std::string with_backslashes(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The standard configuration's defaults besides the link lists, for a prefix and version: what
// cmake/configurations/standard.cmake gives the table.
inline std::map<std::string, std::string> standard_defaults(const std::string& p,
                                                            const std::string& v) {
  return {
      {"SED", "/bin/sed"},
      {"ZRVINCLUDEDIR", p + "/include/zorvan-" + v + "/zorvan"},
      {"INCLUDEDIR", p + "/include"},
      {"LIBDIR", p + "/lib"},
      {"ZRVLIBDIR", p + "/lib/zorvan/" + v},
      {"CPPFLAGS", "-I" + p + "/include"},
      {"F77", "gfortran"},
      {"FFLAGS", "-g -O2 -mieee-fp"},
      {"FPICFLAG", ""},
      {"CC", "gcc -std=gnu11"},
      {"CFLAGS", "-g -O2"},
      {"CPICFLAG", ""},
      {"CXX", "g++ -std=gnu++11"},
      {"CXXFLAGS", "-g -O2"},
      {"CXXPICFLAG", ""},
      {"XTRA_CFLAGS", " -pthread -fopenmp -mieee-fp"},
      {"XTRA_CXXFLAGS", " -pthread -fopenmp -mieee-fp"},
      {"AR", "ar"},
      {"RANLIB", "ranlib"},
      {"DEPEND_FLAGS", "-M"},
      {"DEPEND_EXTRA_SED_PATTERN", ""},
      {"DL_LD", "g++ -std=gnu++11"},
      {"DL_LDFLAGS", "-shared"},
      {"RDYNAMIC_FLAG", ""},
      {"LIBZORVAN", "-lzorvan"},
      {"LIBZRVINTERP", "-lzrvinterp"},
      {"READLINE_LIBS", "-lreadline"},
      {"LAPACK_LIBS", "-llapack"},
      {"BLAS_LIBS", "-lopenblas"},
      {"FFTW3_LDFLAGS", "-L" + p + "/lib "},
      {"FFTW3_LIBS", "-lfftw3 "},
      {"FFTW3F_LDFLAGS", "-L" + p + "/lib "},
      {"FFTW3F_LIBS", "-lfftw3f "},
      {"LIBS", "-lm   -lgdi32 -lws2_32 -luser32 -lkernel32 -lgdi32 -lws2_32 -luser32 -lkernel32"},
      {"LD_CXX", "g++ -std=gnu++11"},
      {"LD_STATIC_FLAG", ""},
      {"F77_INTEGER8_FLAG", ""},
  };
}

// The root must hold no blank here; quoting is covered by its own cases.
inline std::vector<std::pair<std::string, std::string>> default_table(const table_constants& c) {
  const std::string& p = c.prefix;
  const std::string& v = c.version;
  const std::string zrv_include = with_backslashes(c.root + "/include/zorvan-" + v + "/zorvan");
  const std::string include = with_backslashes(c.root + "/include");
  const std::string lib = with_backslashes(c.root + "/lib");
  const std::string zrv_lib = with_backslashes(c.root + "/lib/zorvan/" + v);
  const std::string incflags = "-I" + zrv_include + "\\.. -I" + zrv_include + " -I" + include;
  return {
      {"ZORVAN_HOME", c.root},
      {"ZORVAN_PREFIX", p},
      {"SED", "/bin/sed"},
      {"ZRVINCLUDEDIR", zrv_include},
      {"INCLUDEDIR", include},
      {"LIBDIR", lib},
      {"ZRVLIBDIR", zrv_lib},
      {"CPPFLAGS", "-I" + p + "/include"},
      {"INCFLAGS", incflags},
      {"F77", "gfortran"},
      {"FFLAGS", "-g -O2 -mieee-fp"},
      {"FPICFLAG", ""},
      {"CC", "gcc -std=gnu11"},
      {"CFLAGS", "-g -O2"},
      {"CPICFLAG", ""},
      {"CXX", "g++ -std=gnu++11"},
      {"CXXFLAGS", "-g -O2"},
      {"CXXPICFLAG", ""},
      {"XTRA_CFLAGS", " -pthread -fopenmp -mieee-fp"},
      {"XTRA_CXXFLAGS", " -pthread -fopenmp -mieee-fp"},
      {"AR", "ar"},
      {"RANLIB", "ranlib"},
      {"DEPEND_FLAGS", "-M"},
      {"DEPEND_EXTRA_SED_PATTERN", ""},
      {"DL_LD", "g++ -std=gnu++11"},
      {"DL_LDFLAGS", "-shared"},
      {"RDYNAMIC_FLAG", ""},
      {"LIBZORVAN", "-lzorvan"},
      {"LIBZRVINTERP", "-lzrvinterp"},
      {"READLINE_LIBS", "-lreadline"},
      {"LAPACK_LIBS", "-llapack"},
      {"BLAS_LIBS", "-lopenblas"},
      {"FFTW3_LDFLAGS", "-L" + p + "/lib "},
      {"FFTW3_LIBS", "-lfftw3 "},
      {"FFTW3F_LDFLAGS", "-L" + p + "/lib "},
      {"FFTW3F_LIBS", "-lfftw3f "},
      {"LIBS", "-lm   -lgdi32 -lws2_32 -luser32 -lkernel32 -lgdi32 -lws2_32 -luser32 -lkernel32"},
      {"FLIBS", c.flibs},
      {"ZORVAN_LINK_DEPS", c.zorvan_link_deps},
      {"ZORVAN_LINK_OPTS", c.zorvan_link_opts},
      {"ZRV_LINK_DEPS", c.zrv_link_deps},
      {"ZRV_LINK_OPTS", c.zrv_link_opts},
      {"LD_CXX", "g++ -std=gnu++11"},
      {"LDFLAGS", c.ldflags},
      {"LD_STATIC_FLAG", ""},
      {"LFLAGS", "-L" + zrv_lib + " -L" + lib},
      {"F77_INTEGER8_FLAG", ""},
      {"ALL_FFLAGS", "-g -O2 -mieee-fp "},
      {"ALL_CFLAGS", incflags + "  -pthread -fopenmp -mieee-fp -g -O2"},
      {"ALL_CXXFLAGS", incflags + "  -pthread -fopenmp -mieee-fp -g -O2"},
      {"ALL_LDFLAGS", "  " + c.ldflags},
      {"SPECIAL_MATH_LIB", ""},
      {"ZORVAN_LIBS", "-lzrvinterp -lzorvan "},
      {"FFTW_LIBS", "-L" + p + "/lib  -lfftw3  -L" + p + "/lib  -lfftw3f "},
  };
}

// The constants of this build, with the build prefix as the installation root.
inline table_constants built_table_constants() {
  return built_table_constants(build_constants::prefix);
}
