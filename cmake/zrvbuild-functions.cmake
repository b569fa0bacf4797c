# zrvbuild_add_module and zrvbuild_add_executable: targets compiled and linked with the values
# that `zrvbuild -p` prints for the variables zrvbuild's own commands use, in the same order.
# The values are read when the project is configured, so the environment of that moment
# overrides them as it would override a zrvbuild run; each value is split into arguments the
# way the platform's shell splits it. zrvbuild-config.cmake names the program.
#
# What the commands carry, per language, after the compiler that the project chose:
#   C        CC's options (see _zrvbuild_compiler_parts), CPPFLAGS, CPICFLAG, ALL_CFLAGS
#   C++      CXX's options, CPPFLAGS, CXXPICFLAG, ALL_CXXFLAGS
#   Fortran  F77's options, FPICFLAG, ALL_FFLAGS
#   MEX      then -I with the calling directory's sources (zrvbuild's -I.), and -DMEX_DEBUG
#            when ALL_CFLAGS contains -g
# The module link: DL_LD's options, ALL_CXXFLAGS, DL_LDFLAGS before the objects; LFLAGS,
# -lzrvinterp -lzorvan, ZRV_LINK_OPTS, ZRV_LINK_DEPS after them. The stand-alone link: LD_CXX's
# options, CPPFLAGS, ALL_CXXFLAGS, RDYNAMIC_FLAG, ALL_LDFLAGS; then LFLAGS, -lzrvinterp
# -lzorvan, ZORVAN_LINK_OPTS, ZORVAN_LINK_DEPS. "Options" of a command variable are its words
# from the first one that begins with "-"; words before the compiler name are launchers.

include_guard(GLOBAL)

# The value of one variable as zrvbuild prints it, read once per configure run. With UNSET,
# zrvbuild runs without the environment variable of that name.
function(_zrvbuild_value out name)
  set(key "${name}${ARGN}")
  get_property(known GLOBAL PROPERTY "_zrvbuild_value_${key}" SET)
  if(NOT known)
    get_property(zrvbuild GLOBAL PROPERTY _zrvbuild_executable)
    set(command "${zrvbuild}" -p "${name}")
    if(ARGN STREQUAL "UNSET")
      set(command "${CMAKE_COMMAND}" -E env "--unset=${name}" ${command})
    endif()
    execute_process(COMMAND ${command}
                    OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE status)
    if(NOT status STREQUAL "0")
      message(FATAL_ERROR "${zrvbuild} -p ${name} failed (${status}): ${error}")
    endif()
    string(REGEX REPLACE "\r?\n$" "" text "${text}")
    if(text MATCHES ";")
      message(FATAL_ERROR "zrvbuild's ${name} holds a ';', which CMake cannot pass on: ${text}")
    endif()
    set_property(GLOBAL PROPERTY "_zrvbuild_value_${key}" "${text}")
  endif()
  get_property(text GLOBAL PROPERTY "_zrvbuild_value_${key}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The arguments of several variables, in order, each split as the platform's shell splits it.
function(_zrvbuild_arguments out)
  set(all)
  foreach(name IN LISTS ARGN)
    _zrvbuild_value(text ${name})
    separate_arguments(words NATIVE_COMMAND "${text}")
    list(APPEND all ${words})
  endforeach()
  set(${out} "${all}" PARENT_SCOPE)
endfunction()

# A command variable (CC, CXX, F77, DL_LD, LD_CXX) cut into its launchers and its options;
# the compiler name between them is the project's business.
function(_zrvbuild_command_parts launchers_out options_out name)
  _zrvbuild_value(text ${name} ${ARGN})
  separate_arguments(words NATIVE_COMMAND "${text}")
  set(leading)
  set(options)
  set(in_options FALSE)
  foreach(word IN LISTS words)
    if(in_options OR word MATCHES "^-")
      set(in_options TRUE)
      list(APPEND options "${word}")
    else()
      list(APPEND leading "${word}")
    endif()
  endforeach()
  list(LENGTH leading count)
  if(count GREATER 1)
    list(REMOVE_AT leading -1)
  else()
    set(leading)
  endif()
  set(${launchers_out} "${leading}" PARENT_SCOPE)
  set(${options_out} "${options}" PARENT_SCOPE)
endfunction()

# The launchers and options that CC or CXX add to the project's compiler command. CMake builds
# that command from a CC or CXX set in the environment itself: the compiler, then the other
# words as CMAKE_<LANG>_COMPILER_ARG1. Without such words zrvbuild's built-in value supplies
# them. The environment cannot tell more: CMake exports the compilers it finds into its own
# environment the first time it looks for them.
function(_zrvbuild_compiler_parts launchers_out options_out name language)
  set(launchers)
  set(options)
  if("${CMAKE_${language}_COMPILER_ARG1}" STREQUAL "")
    _zrvbuild_command_parts(launchers options ${name} UNSET)
  endif()
  set(${launchers_out} "${launchers}" PARENT_SCOPE)
  set(${options_out} "${options}" PARENT_SCOPE)
endfunction()

# One SHELL: entry holding the arguments in order, so that CMake neither drops repeated ones
# nor splits them again; the text is kept clear of generator-expression syntax. With
# STANDARD_IF CONDITION, a -std= argument stands only where the generator expression CONDITION
# holds.
function(_zrvbuild_shell_entry out)
  set(condition "")
  if(ARGV1 STREQUAL "STANDARD_IF")
    set(condition "${ARGV2}")
    list(REMOVE_AT ARGN 0 1)
  endif()
  string(ASCII 1 dollar)
  set(quoted)
  foreach(arg IN LISTS ARGN)
    set(standard FALSE)
    if(NOT condition STREQUAL "" AND arg MATCHES "^-std=")
      set(standard TRUE)
    endif()
    string(REPLACE "\\" "\\\\" arg "${arg}")
    string(REPLACE "\"" "\\\"" arg "${arg}")
    set(arg "\"${arg}\"")
    string(REPLACE "$" "${dollar}" arg "${arg}")
    string(REPLACE ">" "$<ANGLE-R>" arg "${arg}")
    string(REPLACE "," "$<COMMA>" arg "${arg}")
    string(REPLACE "${dollar}" "$<1:$>" arg "${arg}")
    if(standard)
      set(arg "$<${condition}:${arg}>")
    endif()
    list(APPEND quoted "${arg}")
  endforeach()
  list(JOIN quoted " " text)
  set(${out} "SHELL:${text}" PARENT_SCOPE)
endfunction()

# The condition under which zrvbuild's -std= (from the options of CC or CXX) is the target's
# standard: CMake's own means set none, that is neither the <LANG>_STANDARD property (which
# CMAKE_<LANG>_STANDARD initialises) nor a compile feature of the language (cxx_..., c_...), of
# the target or coming from the targets it links. Where CMake's means set one, CMake's flag
# decides alone, or the compiler's default when that already satisfies it and CMake adds no
# flag. The features are read once: CMake gathers those of linked targets only the first time
# an expression reads the property.
function(_zrvbuild_standard_default_condition out language)
  if(language STREQUAL "CXX")
    set(prefix cxx_)
  else()
    set(prefix c_)
  endif()
  set(${out} "$<NOT:$<OR:$<BOOL:$<TARGET_PROPERTY:${language}_STANDARD>>,$<BOOL:$<FILTER:$<TARGET_PROPERTY:COMPILE_FEATURES>,INCLUDE,^${prefix}>>>>"
      PARENT_SCOPE)
endfunction()

# The arguments after the objects as one linker-flag item. CMake passes such an item through
# untouched and keeps its order and repeats, so it is quoted here for the shell that runs the
# link command.
function(_zrvbuild_link_item out)
  set(quoted)
  foreach(arg IN LISTS ARGN)
    set(lead "")
    if(arg MATCHES "^-")
      set(lead "-")
      string(SUBSTRING "${arg}" 1 -1 arg)
    endif()
    if(CMAKE_HOST_WIN32)
      if(arg STREQUAL "" OR arg MATCHES "[ \t\"]")
        string(REGEX REPLACE "(\\\\*)\"" "\\1\\1\\\\\"" arg "${arg}")
        string(REGEX REPLACE "(\\\\+)$" "\\1\\1" arg "${arg}")
        set(arg "\"${arg}\"")
      endif()
    elseif(NOT arg MATCHES "^[A-Za-z0-9_@%+=:,./-]+$")
      string(REPLACE "'" "'\\''" arg "${arg}")
      set(arg "'${arg}'")
    endif()
    list(APPEND quoted "${lead}${arg}")
  endforeach()
  list(JOIN quoted " " text)
  if(NOT text MATCHES "^-")
    message(FATAL_ERROR "zrvbuild: the link arguments after the objects must begin with an "
                        "option, but they begin with '${text}' (see LFLAGS)")
  endif()
  if(CMAKE_GENERATOR MATCHES "Ninja")
    string(REPLACE "$" "$$" text "${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The compile options of every language the target may use. The -std= among the C and C++
# options is a default: it gives way to a standard that CMake's own means set.
function(_zrvbuild_compile_options target mex)
  set(mex_args)
  if(mex)
    list(APPEND mex_args "-I${CMAKE_CURRENT_SOURCE_DIR}")
    _zrvbuild_value(all_cflags ALL_CFLAGS)
    if(all_cflags MATCHES "-g")
      list(APPEND mex_args -DMEX_DEBUG)
    endif()
  endif()
  foreach(language C CXX Fortran)
    if(language STREQUAL "C")
      _zrvbuild_compiler_parts(launchers options CC C)
      set(flags CPPFLAGS CPICFLAG ALL_CFLAGS)
    elseif(language STREQUAL "CXX")
      _zrvbuild_compiler_parts(launchers options CXX CXX)
      set(flags CPPFLAGS CXXPICFLAG ALL_CXXFLAGS)
    else()
      # CMake takes its Fortran compiler from FC: F77 is zrvbuild's alone.
      _zrvbuild_command_parts(launchers options F77)
      set(flags FPICFLAG ALL_FFLAGS)
    endif()
    _zrvbuild_arguments(args ${flags})
    list(APPEND options ${args} ${mex_args})
    if(NOT options STREQUAL "")
      set(standard_if)
      if(NOT language STREQUAL "Fortran")
        _zrvbuild_standard_default_condition(condition ${language})
        set(standard_if STANDARD_IF "${condition}")
      endif()
      _zrvbuild_shell_entry(entry ${standard_if} ${options})
      set_property(TARGET ${target} APPEND PROPERTY COMPILE_OPTIONS
                   "$<$<COMPILE_LANGUAGE:${language}>:${entry}>")
    endif()
    if(NOT launchers STREQUAL "")
      set_property(TARGET ${target} PROPERTY ${language}_COMPILER_LAUNCHER ${launchers})
    endif()
  endforeach()
endfunction()

# The link: COMMAND's options and the BEFORE variables ahead of the objects; LFLAGS, the
# environment's libraries and the AFTER variables behind them. The part behind the objects is
# added when the calling directory has been read, so that the libraries the project links
# itself come first, as zrvbuild puts the libraries of its command line before LFLAGS.
function(_zrvbuild_link target command before after)
  _zrvbuild_command_parts(launchers options ${command})
  _zrvbuild_arguments(args ${before})
  list(APPEND options ${args})
  if(NOT options STREQUAL "")
    _zrvbuild_shell_entry(entry ${options})
    set_property(TARGET ${target} APPEND PROPERTY LINK_OPTIONS "${entry}")
  endif()
  if(NOT launchers STREQUAL "")
    set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER ${launchers})
  endif()
  _zrvbuild_arguments(lflags LFLAGS)
  _zrvbuild_arguments(tail ${after})
  _zrvbuild_link_item(item ${lflags} -lzrvinterp -lzorvan ${tail})
  set_property(TARGET ${target} PROPERTY _ZRVBUILD_LINK_ITEM "${item}")
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _zrvbuild_add_link_item [[${target}]])")
endfunction()

function(_zrvbuild_add_link_item target)
  get_property(item TARGET ${target} PROPERTY _ZRVBUILD_LINK_ITEM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_LIBRARIES "${item}")
endfunction()

# Both kinds link with zrvbuild's C++ linker, whatever languages their sources are in.
function(_zrvbuild_check_arguments function_name target)
  if(NOT CMAKE_CXX_COMPILER_LOADED)
    message(FATAL_ERROR "${function_name}(${target}): the project must enable CXX, the language "
                        "of zrvbuild's linker")
  endif()
  if("${ARGN}" STREQUAL "")
    message(FATAL_ERROR "${function_name}(${target}): no SOURCES given")
  endif()
endfunction()

# Each target writes the Fortran module files of its sources into a directory of its own, under
# the one the project chose for module files (CMAKE_Fortran_MODULE_DIRECTORY) or else
# "modules/" of the current build directory: a module and a MEX file built from the same sources
# would otherwise both make the same .mod file, which Ninja refuses.
function(_zrvbuild_module_directory target)
  get_property(base TARGET ${target} PROPERTY Fortran_MODULE_DIRECTORY)
  if(NOT base)
    set(base "${CMAKE_CURRENT_BINARY_DIR}/modules")
  endif()
  set_property(TARGET ${target} PROPERTY Fortran_MODULE_DIRECTORY "${base}/${target}")
endfunction()

# zrvbuild_add_module(NAME [MEX] SOURCES source...): a loadable module NAME.zrv, or NAME.mex.
function(zrvbuild_add_module name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "MEX" "" "SOURCES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zrvbuild_add_module(${name}): unexpected ${arg_UNPARSED_ARGUMENTS}")
  endif()
  _zrvbuild_check_arguments(zrvbuild_add_module ${name} ${arg_SOURCES})
  add_library(${name} MODULE ${arg_SOURCES})
  if(arg_MEX)
    set(suffix .mex)
  else()
    set(suffix .zrv)
  endif()
  # Position-independent code as zrvbuild's PIC flags say, and no export macro of CMake's.
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ${suffix} DEFINE_SYMBOL ""
                        POSITION_INDEPENDENT_CODE OFF LINKER_LANGUAGE CXX)
  _zrvbuild_compile_options(${name} "${arg_MEX}")
  _zrvbuild_module_directory(${name})
  _zrvbuild_link(${name} DL_LD "ALL_CXXFLAGS;DL_LDFLAGS" "ZRV_LINK_OPTS;ZRV_LINK_DEPS")
endfunction()

# zrvbuild_add_executable(NAME SOURCES source...): a stand-alone program linked against the
# environment's libraries.
function(zrvbuild_add_executable name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zrvbuild_add_executable(${name}): unexpected ${arg_UNPARSED_ARGUMENTS}")
  endif()
  _zrvbuild_check_arguments(zrvbuild_add_executable ${name} ${arg_SOURCES})
  add_executable(${name} ${arg_SOURCES})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE OFF LINKER_LANGUAGE CXX)
  _zrvbuild_compile_options(${name} FALSE)
  _zrvbuild_module_directory(${name})
  _zrvbuild_link(${name} LD_CXX "CPPFLAGS;ALL_CXXFLAGS;RDYNAMIC_FLAG;ALL_LDFLAGS"
                 "ZORVAN_LINK_OPTS;ZORVAN_LINK_DEPS")
endfunction()
