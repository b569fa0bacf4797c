# The GNU/Linux configuration: the environment installed under the build prefix on a GNU/Linux
# host, built with the system's gcc, g++ and gfortran. Modules and programs are position
# independent, link the Fortran run-time library and find the environment's libraries through
# their run path; directories keep their forward slashes when they are rebased, and a loaded
# module marks the installation root by "/bin/".
# Included by cmake/build_constants.cmake with _p (the build prefix), _v (the version) and _t
# (the tool chain directory) set; every ZRVCONF_ variable is the compiled-in default of the
# table variable of that name.

set(ZRVCONF_SEPARATOR "/")

# A directory inside a command, double-quoted when it holds a blank.
function(_zrvconf_quote out text)
  if(text MATCHES " " AND NOT text MATCHES "^\"")
    set(text "\"${text}\"")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# -mieee-fp exists on x86 only.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86_64|amd64|AMD64)$")
  set(_ieee " -mieee-fp")
else()
  set(_ieee "")
endif()

set(ZRVCONF_SED "/bin/sed")
set(ZRVCONF_ZRVINCLUDEDIR "${_p}/include/zorvan-${_v}/zorvan")
set(ZRVCONF_INCLUDEDIR "${_p}/include")
set(ZRVCONF_LIBDIR "${_p}/lib")
set(ZRVCONF_ZRVLIBDIR "${_p}/lib/zorvan/${_v}")
_zrvconf_quote(_include "${_p}/include")
set(ZRVCONF_CPPFLAGS "-I${_include}")
set(ZRVCONF_F77 "gfortran")
set(ZRVCONF_FFLAGS "-g -O2${_ieee}")
set(ZRVCONF_FPICFLAG "-fPIC")
set(ZRVCONF_CC "gcc -std=gnu11")
set(ZRVCONF_CFLAGS "-g -O2")
set(ZRVCONF_CPICFLAG "-fPIC")
set(ZRVCONF_CXX "g++ -std=gnu++11")
set(ZRVCONF_CXXFLAGS "-g -O2")
set(ZRVCONF_CXXPICFLAG "-fPIC")
set(ZRVCONF_XTRA_CFLAGS " -pthread -fopenmp${_ieee}")
set(ZRVCONF_XTRA_CXXFLAGS " -pthread -fopenmp${_ieee}")
set(ZRVCONF_AR "ar")
set(ZRVCONF_RANLIB "ranlib")
set(ZRVCONF_DEPEND_FLAGS "-M")
set(ZRVCONF_DEPEND_EXTRA_SED_PATTERN "")
set(ZRVCONF_DL_LD "g++ -std=gnu++11")
set(ZRVCONF_DL_LDFLAGS "-shared")
set(ZRVCONF_RDYNAMIC_FLAG "")
set(ZRVCONF_LIBZORVAN "-lzorvan")
set(ZRVCONF_LIBZRVINTERP "-lzrvinterp")
set(ZRVCONF_READLINE_LIBS "-lreadline")
set(ZRVCONF_LAPACK_LIBS "-llapack")
set(ZRVCONF_BLAS_LIBS "-lopenblas")
_zrvconf_quote(_lib "${_p}/lib")
set(ZRVCONF_FFTW3_LDFLAGS "-L${_lib} ")
set(ZRVCONF_FFTW3_LIBS "-lfftw3 ")
set(ZRVCONF_FFTW3F_LDFLAGS "-L${_lib} ")
set(ZRVCONF_FFTW3F_LIBS "-lfftw3f ")
set(ZRVCONF_LIBS "-lm")
set(ZRVCONF_LD_CXX "g++ -std=gnu++11")
set(ZRVCONF_LD_STATIC_FLAG "")
set(ZRVCONF_F77_INTEGER8_FLAG "")

# The link lists. The -L options come from LFLAGS, which follows the installation root; the run
# paths name the environment's library directories under the build prefix.
_zrvconf_quote(_zrv_lib "${_p}/lib/zorvan/${_v}")
set(ZRVCONF_LDFLAGS "")
set(ZRVCONF_FLIBS "-lgfortran -lm")
set(ZRVCONF_ZORVAN_LINK_DEPS "${ZRVCONF_FLIBS}")
set(ZRVCONF_ZORVAN_LINK_OPTS "-Wl,-rpath,${_zrv_lib} -Wl,-rpath,${_lib}")
set(ZRVCONF_ZRV_LINK_DEPS "${ZRVCONF_FLIBS}")
set(ZRVCONF_ZRV_LINK_OPTS "-Wl,-rpath,${_zrv_lib}")
