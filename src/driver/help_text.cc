// The fixed texts: the usage line, the version line and the help text.
#include "driver/help_text.h"

#include "build_constants.h"

const char* const usage_line = "usage: zrvbuild [options] file ...";

const std::string version_line = std::string("zrvbuild, version ") + build_constants::version;

// Printed after the usage line; the printer adds the final newline.
const char* const help_text = R"help(
Options:

  -h, -?, --help          Print this message.

  -IDIR                   Add -IDIR to compile commands.

  -idirafter DIR          Add -idirafter DIR to compile commands.

  -DDEF                   Add -DDEF to compile commands.

  -lLIB                   Add library LIB to link command.

  -LDIR                   Add -LDIR to link command.

  -M, --depend            Generate dependency files (.d) for C and C++
                          source files.

  -RDIR                   Add -RDIR to link command.

  -Wl,...                 Pass flags though the linker like -Wl,-rpath=...

  -W...                   Pass flags though the compiler like -Wa,OPTION.

  -c, --compile           Compile, but do not link.

  -o FILE, --output FILE  Output filename.  Default extension is .zrv
                          (or .mex if --mex is specified) unless linking
                          a stand-alone executable.

  -g                      Enable debugging options for compilers.

  -p VAR, --print VAR     Print configuration variable VAR.  Recognized
                          variables are:

                            ALL_CFLAGS                  INCFLAGS
                            ALL_CXXFLAGS                INCLUDEDIR
                            ALL_FFLAGS                  LAPACK_LIBS
                            ALL_LDFLAGS                 LD_CXX
                            AR                          LDFLAGS
                            BLAS_LIBS                   LD_STATIC_FLAG
                            CC                          LFLAGS
                            CFLAGS                      LIBDIR
                            CPICFLAG                    LIBZORVAN
                            CPPFLAGS                    LIBZRVINTERP
                            CXX                         LIBS
                            CXXFLAGS                    ZORVAN_HOME
                            CXXPICFLAG                  ZORVAN_LIBS
                            DEPEND_EXTRA_SED_PATTERN    ZORVAN_LINK_DEPS
                            DEPEND_FLAGS                ZORVAN_LINK_OPTS
                            DL_LD                       ZORVAN_PREFIX
                            DL_LDFLAGS                  ZRVINCLUDEDIR
                            F77                         ZRVLIBDIR
                            F77_INTEGER8_FLAG           ZRV_LINK_DEPS
                            FFLAGS                      ZRV_LINK_OPTS
                            FFTW3F_LDFLAGS              RANLIB
                            FFTW3F_LIBS                 RDYNAMIC_FLAG
                            FFTW3_LDFLAGS               READLINE_LIBS
                            FFTW3_LIBS                  SED
                            FFTW_LIBS                   SPECIAL_MATH_LIB
                            FLIBS                       XTRA_CFLAGS
                            FPICFLAG                    XTRA_CXXFLAGS

  --link-stand-alone      Link a stand-alone executable file.

  --mex                   Assume we are creating a MEX file.  Set the
                          default output extension to ".mex".

  -s, --strip             Strip output file.

  -n, --just-print, --dry-run
                          Print commands, but do not execute them.

  -v, --verbose           Echo commands as they are executed.

  FILE                    Compile or link FILE.  Recognized file types are:

                            .c    C source
                            .cc   C++ source
                            .cp   C++ source
                            .cpp  C++ source
                            .CPP  C++ source
                            .cxx  C++ source
                            .c++  C++ source
                            .C    C++ source
                            .f    Fortran source (fixed form)
                            .F    Fortran source (fixed form)
                            .f90  Fortran source (free form)
                            .F90  Fortran source (free form)
                            .o    object file
                            .a    library file

)help";
