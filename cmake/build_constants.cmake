# Build constants of zrvbuild: the build prefix, the version, the tool chain directory, the
# strip switch, and the build configuration with the compiled-in defaults of the variable table.
# The prefix, version, tool chain directory, strip switch and link lists are cache variables, so
# a packager can set them at configure time.

# The prefix, the tool chain directory and the link lists have defaults derived from other
# settings (the install prefix first of all). A build directory configured again with another
# install prefix must not keep the old prefix in its program: a value that still holds the
# default it was given follows the new default; a value someone set stays. Build directories
# made before the defaults were recorded take their cached values as the old defaults.
set(_zrv_recorded_before FALSE)
if(DEFINED CACHE{ZRVBUILD_LINK_LISTS_OF} AND NOT DEFINED CACHE{_ZRVBUILD_DEFAULT_ZRVBUILD_PREFIX})
  set(_zrv_recorded_before TRUE)
endif()
function(zrvbuild_derived_cache name default doc)
  set(record "_ZRVBUILD_DEFAULT_${name}")
  if(DEFINED CACHE{${record}})
    set(old_default "$CACHE{${record}}")
  elseif(_zrv_recorded_before)
    set(old_default "$CACHE{${name}}")
  else()
    set(old_default "${default}")
  endif()
  if(NOT old_default STREQUAL default AND "$CACHE{${name}}" STREQUAL old_default)
    unset(${name} CACHE)
  endif()
  set(${name} "${default}" CACHE STRING "${doc}")
  set(${record} "${default}" CACHE INTERNAL "")
endfunction()

zrvbuild_derived_cache(ZRVBUILD_PREFIX "${CMAKE_INSTALL_PREFIX}"
                       "Directory the build is configured for (forward slashes, no trailing slash)")
set(ZRVBUILD_PREFIX "$CACHE{ZRVBUILD_PREFIX}")
string(REPLACE "\\" "/" ZRVBUILD_PREFIX "${ZRVBUILD_PREFIX}")
string(REGEX REPLACE "(.)/+$" "\\1" ZRVBUILD_PREFIX "${ZRVBUILD_PREFIX}")

set(ZRVBUILD_VERSION "${PROJECT_VERSION}" CACHE STRING "Version string printed by zrvbuild -v")

get_filename_component(_zrv_parent "${ZRVBUILD_PREFIX}" DIRECTORY)
zrvbuild_derived_cache(ZRVBUILD_TOOLCHAIN_DIR "${_zrv_parent}"
                       "Directory holding the build tool chain's own libraries (parent of the prefix)")

set(ZRVBUILD_NO_STRIP "false" CACHE STRING "\"yes\" or \"true\" disables the strip options")

set(ZRVBUILD_EXECUTABLE_DEFAULT_NAME "a${CMAKE_EXECUTABLE_SUFFIX}" CACHE STRING
    "Name the stand-alone linker gives its output when no -o is given")
if(ZRVBUILD_EXECUTABLE_DEFAULT_NAME STREQUAL "a")
  set(ZRVBUILD_EXECUTABLE_DEFAULT_NAME "a.out" CACHE STRING "" FORCE)
endif()
set(ZRVBUILD_EXECUTABLE_SUFFIX "${CMAKE_EXECUTABLE_SUFFIX}" CACHE STRING
    "Suffix the stand-alone linker adds to an output name whose last part has no '.'")

# The build configuration: one file under cmake/configurations/ holds every compiled-in default
# of the variable table, the configured link lists included, and the directory separator of
# rebased directories.
set(ZRVBUILD_CONFIGURATION "standard" CACHE STRING
    "Build configuration: standard (32-bit Windows, MinGW-w64) or gnu-linux")
set_property(CACHE ZRVBUILD_CONFIGURATION PROPERTY STRINGS standard gnu-linux)
set(_zrv_configuration_file
    "${CMAKE_CURRENT_LIST_DIR}/configurations/${ZRVBUILD_CONFIGURATION}.cmake")
if(NOT EXISTS "${_zrv_configuration_file}")
  message(FATAL_ERROR "ZRVBUILD_CONFIGURATION: no configuration \"${ZRVBUILD_CONFIGURATION}\" "
                      "(cmake/configurations/ has standard.cmake and gnu-linux.cmake)")
endif()
set(_p "${ZRVBUILD_PREFIX}")
set(_v "${ZRVBUILD_VERSION}")
set(_t "${ZRVBUILD_TOOLCHAIN_DIR}")
include("${_zrv_configuration_file}")

# A plain configure on GNU/Linux builds the Windows configuration, whose commands name backslash
# paths and Windows libraries: say which one this build carries and how to pick the other.
if(ZRVBUILD_CONFIGURATION STREQUAL "standard")
  message(STATUS "zrvbuild configuration: standard (32-bit Windows, MinGW-w64: backslash "
                 "paths, Windows libraries); for GNU/Linux use --preset gnu-linux or "
                 "-DZRVBUILD_CONFIGURATION=gnu-linux")
else()
  message(STATUS "zrvbuild configuration: gnu-linux (the environment under ${ZRVBUILD_PREFIX}); "
                 "-DZRVBUILD_CONFIGURATION=standard builds the 32-bit Windows one")
endif()

# The defaults besides the link lists, in the order the table is filled.
set(ZRVBUILD_DEFAULT_NAMES SED ZRVINCLUDEDIR INCLUDEDIR LIBDIR ZRVLIBDIR CPPFLAGS F77 FFLAGS
    FPICFLAG CC CFLAGS CPICFLAG CXX CXXFLAGS CXXPICFLAG XTRA_CFLAGS XTRA_CXXFLAGS AR RANLIB
    DEPEND_FLAGS DEPEND_EXTRA_SED_PATTERN DL_LD DL_LDFLAGS RDYNAMIC_FLAG LIBZORVAN LIBZRVINTERP
    READLINE_LIBS LAPACK_LIBS BLAS_LIBS FFTW3_LDFLAGS FFTW3_LIBS FFTW3F_LDFLAGS FFTW3F_LIBS LIBS
    LD_CXX LD_STATIC_FLAG F77_INTEGER8_FLAG)

# The link lists stay cache variables a packager can set; a change of configuration resets them.
set(_zrv_lists LDFLAGS FLIBS ZORVAN_LINK_DEPS ZORVAN_LINK_OPTS ZRV_LINK_DEPS ZRV_LINK_OPTS)
if(DEFINED ZRVBUILD_LINK_LISTS_OF AND NOT ZRVBUILD_LINK_LISTS_OF STREQUAL ZRVBUILD_CONFIGURATION)
  foreach(_list ${_zrv_lists})
    unset(ZRVBUILD_${_list} CACHE)
  endforeach()
endif()
set(ZRVBUILD_LINK_LISTS_OF "${ZRVBUILD_CONFIGURATION}" CACHE INTERNAL "")
foreach(_list ${_zrv_lists})
  zrvbuild_derived_cache(ZRVBUILD_${_list} "${ZRVCONF_${_list}}" "Configured default of ${_list}")
endforeach()

# Writes the constants as C string literals into a generated header.
function(zrvbuild_c_literal out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\\\"" value "${value}")
  set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

foreach(_name PREFIX VERSION TOOLCHAIN_DIR NO_STRIP EXECUTABLE_DEFAULT_NAME EXECUTABLE_SUFFIX
        CONFIGURATION ${_zrv_lists})
  zrvbuild_c_literal(ZRVBUILD_${_name}_LITERAL "${ZRVBUILD_${_name}}")
endforeach()
if(ZRVCONF_SEPARATOR STREQUAL "\\")
  set(ZRVBUILD_SEPARATOR_LITERAL "'\\\\'")
else()
  set(ZRVBUILD_SEPARATOR_LITERAL "'${ZRVCONF_SEPARATOR}'")
endif()
set(ZRVBUILD_DEFAULT_ROWS "")
foreach(_name ${ZRVBUILD_DEFAULT_NAMES})
  zrvbuild_c_literal(_value "${ZRVCONF_${_name}}")
  string(APPEND ZRVBUILD_DEFAULT_ROWS "    {\"${_name}\", ${_value}},\n")
endforeach()
configure_file("${CMAKE_CURRENT_LIST_DIR}/build_constants.h.in"
               "${CMAKE_BINARY_DIR}/generated/build_constants.h" @ONLY)
