# Build constants of zrvbuild: the build prefix, the version, the tool chain directory, the
# configured link lists and the strip switch. Each one is a cache variable, so a packager can
# set it at configure time; the defaults describe the standard configuration (32-bit Windows,
# MinGW-w64 4.9.4) laid under this build's install prefix.

set(ZRVBUILD_PREFIX "${CMAKE_INSTALL_PREFIX}" CACHE STRING
    "Directory the build is configured for (forward slashes, no trailing slash)")
string(REPLACE "\\" "/" ZRVBUILD_PREFIX "${ZRVBUILD_PREFIX}")
string(REGEX REPLACE "(.)/+$" "\\1" ZRVBUILD_PREFIX "${ZRVBUILD_PREFIX}")

set(ZRVBUILD_VERSION "${PROJECT_VERSION}" CACHE STRING "Version string printed by zrvbuild -v")

get_filename_component(_zrv_parent "${ZRVBUILD_PREFIX}" DIRECTORY)
set(ZRVBUILD_TOOLCHAIN_DIR "${_zrv_parent}" CACHE STRING
    "Directory holding the build tool chain's own libraries (parent of the prefix)")

set(ZRVBUILD_NO_STRIP "false" CACHE STRING "\"yes\" or \"true\" disables the strip options")

set(ZRVBUILD_EXECUTABLE_DEFAULT_NAME "a${CMAKE_EXECUTABLE_SUFFIX}" CACHE STRING
    "Name the stand-alone linker gives its output when no -o is given")
if(ZRVBUILD_EXECUTABLE_DEFAULT_NAME STREQUAL "a")
  set(ZRVBUILD_EXECUTABLE_DEFAULT_NAME "a.out" CACHE STRING "" FORCE)
endif()

# The configured link lists of the standard configuration.
set(_p "${ZRVBUILD_PREFIX}")
set(_gcc_dir "${ZRVBUILD_TOOLCHAIN_DIR}/lib/gcc/i686-w64-mingw32/4.9.4")
set(_libs_default
    "-lm   -lgdi32 -lws2_32 -luser32 -lkernel32 -lgdi32 -lws2_32 -luser32 -lkernel32")

set(_ldflags "-Wl,-rpath-link,${_p}/lib -L${_p}/lib -L${_p}/lib -Wl,--export-all-symbols")
set(_flibs " -L${_p}/lib -L${_gcc_dir} -L${_gcc_dir}/../../../../i686-w64-mingw32/lib/../lib")
string(APPEND _flibs " -L${_gcc_dir}/../../../../i686-w64-mingw32/lib")
string(APPEND _flibs " -lm -lgfortran -lmingw32 -lmoldname -lmingwex -lmsvcrt -lquadmath")
string(APPEND _flibs " -ladvapi32 -lshell32 -luser32 -lkernel32")
set(_deps " -L${_p}/lib -lfreetype -lhdf5 -lGraphicsMagick++ -lGraphicsMagick -lz -lfftw3")
string(APPEND _deps " -lfftw3f -lopengl32 -lglu32 -L${_p}/lib -lfontconfig -lfreetype -lgl2ps")
string(APPEND _deps " -ladvapi32 -llapack -lws2_32 -lws2_32 -lws2_32 -lws2_32 -lcurl -lcholmod")
string(APPEND _deps " -lumfpack -lamd -lcamd -lcolamd -lccolamd -lcxsparse -lsuitesparseconfig")
string(APPEND _deps " -larpack -lqrupdate -lfftw3 -lfftw3f -llapack -lopenblas -lreadline")
string(APPEND _deps " -ltermcap -L${_p}/lib -lpcre${_flibs} ${_libs_default}")
set(_opts "  -L${_p}/lib -L${_p}/lib -L${_p}/lib -L${_p}/lib -L${_p}/lib ")

set(ZRVBUILD_LDFLAGS "${_ldflags}" CACHE STRING "Configured default of LDFLAGS")
set(ZRVBUILD_FLIBS "${_flibs}" CACHE STRING "Configured default of FLIBS")
set(ZRVBUILD_ZORVAN_LINK_DEPS "${_deps}" CACHE STRING "Configured default of ZORVAN_LINK_DEPS")
set(ZRVBUILD_ZORVAN_LINK_OPTS "${_opts}" CACHE STRING "Configured default of ZORVAN_LINK_OPTS")
set(ZRVBUILD_ZRV_LINK_DEPS " ${_deps}" CACHE STRING "Configured default of ZRV_LINK_DEPS")
set(ZRVBUILD_ZRV_LINK_OPTS "${_ldflags} ${_opts}" CACHE STRING
    "Configured default of ZRV_LINK_OPTS")

# Writes the constants as C string literals into a generated header.
function(zrvbuild_c_literal out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\\\"" value "${value}")
  set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

foreach(_name PREFIX VERSION TOOLCHAIN_DIR NO_STRIP EXECUTABLE_DEFAULT_NAME LDFLAGS FLIBS
        ZORVAN_LINK_DEPS ZORVAN_LINK_OPTS ZRV_LINK_DEPS ZRV_LINK_OPTS)
  zrvbuild_c_literal(ZRVBUILD_${_name}_LITERAL "${ZRVBUILD_${_name}}")
endforeach()
configure_file("${CMAKE_CURRENT_LIST_DIR}/build_constants.h.in"
               "${CMAKE_BINARY_DIR}/generated/build_constants.h" @ONLY)
