# Installs the build into a scratch prefix and builds the example extension through the
# installed CMake package with Ninja. Checks that
#  - the host loads the module and prints what it prints for the module zrvbuild builds, and
#    the stand-alone program prints what zrvbuild's does;
#  - every compile command in compile_commands.json and in ninja's commands, and every link
#    command, carries the arguments of `zrvbuild -n` for the same sources in the same order
#    (the compiler's name, its output and dependency options, the object list and what CMake
#    adds to every module or program link on its own set aside);
#  - a module and a MEX file built from the same Fortran sources, one of them defining a module,
#    each make the module file in a directory of their own;
#  - values overridden in the environment at configure time (CXXFLAGS, CC, an environment in a
#    directory with a blank, names with blanks in CPPFLAGS and ZRV_LINK_OPTS) reach the
#    commands whole, and the module built so still loads.
# The environment the script starts with is the one zrvbuild runs in (ZORVAN_HOME names the
# stand-in environment). Prints "SKIP: " and the reason when Ninja or gfortran is missing,
# unless ZRVBUILD_REQUIRE_TOOLS is set.
#
# cmake -DBUILD_DIR=<zrvbuild build> -DSOURCE_DIR=<zrvbuild sources> -DVERSION=<version>
#       -P check_cmake_package.cmake
cmake_minimum_required(VERSION 3.22)

set(here "${CMAKE_CURRENT_LIST_DIR}")
set(work "${BUILD_DIR}/cmake_package_check")
set(prefix "${work}/prefix")
set(examples "${SOURCE_DIR}/examples/extension")
set(project_dir "${here}/project")

foreach(tool ninja gfortran)
  find_program(${tool}_path ${tool})
  if(NOT ${tool}_path)
    if(DEFINED ENV{ZRVBUILD_REQUIRE_TOOLS})
      message(FATAL_ERROR "${tool} is missing and ZRVBUILD_REQUIRE_TOOLS is set")
    endif()
    message("SKIP: ${tool} is not installed")
    return()
  endif()
endforeach()
if(NOT DEFINED ENV{ZORVAN_HOME})
  message(FATAL_ERROR "ZORVAN_HOME must name the stand-in environment")
endif()

include("${here}/check_helpers.cmake")

function(expect_contains what list item)
  if(NOT item IN_LIST list)
    message(FATAL_ERROR "${what}: no argument [${item}] in [${list}]")
  endif()
endfunction()

# The compile command's arguments without the compiler, -c, the output and dependency options
# and the source. Every other argument stays where it was.
function(compile_arguments out command source)
  separate_arguments(words UNIX_COMMAND "${command}")
  list(REMOVE_AT words 0)
  get_filename_component(source_name "${source}" NAME)
  set(kept)
  set(skip_next FALSE)
  foreach(word IN LISTS words)
    if(skip_next)
      set(skip_next FALSE)
    elseif(word MATCHES "^-(o|MT|MF)$")
      set(skip_next TRUE)
    elseif(word MATCHES "^-(c|MD)$" OR word MATCHES "^-J" OR word STREQUAL source
           OR word MATCHES "/${source_name}$")
    else()
      list(APPEND kept "${word}")
    endif()
  endforeach()
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

# The link command's arguments without the linker and the output option, with the objects
# replaced by one "<objects>" where they stood. CMake's own leading flags (LEADING), the flags
# it puts right before -o (BEFORE_OUTPUT) and the run-time libraries of the other languages it
# adds at the end (TRAILING) are set aside.
function(link_arguments out command)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LEADING;BEFORE_OUTPUT;TRAILING")
  separate_arguments(words UNIX_COMMAND "${command}")
  list(REMOVE_AT words 0)
  foreach(flag IN LISTS arg_LEADING)
    list(GET words 0 first)
    expect_equal("CMake's leading link flag" "${flag}" "${first}")
    list(REMOVE_AT words 0)
  endforeach()
  list(FIND words -o output_at)
  list(REVERSE arg_BEFORE_OUTPUT)
  foreach(flag IN LISTS arg_BEFORE_OUTPUT)
    math(EXPR output_at "${output_at} - 1")
    list(GET words ${output_at} word)
    expect_equal("CMake's link flag before -o" "${flag}" "${word}")
    list(REMOVE_AT words ${output_at})
  endforeach()
  set(kept)
  set(skip_next FALSE)
  foreach(word IN LISTS words)
    if(skip_next)
      set(skip_next FALSE)
    elseif(word STREQUAL "-o")
      set(skip_next TRUE)
    elseif(word MATCHES "\\.o$")
      if(NOT "<objects>" IN_LIST kept)
        list(APPEND kept "<objects>")
      endif()
    else()
      list(APPEND kept "${word}")
    endif()
  endforeach()
  # What CMake appends on its own comes last: drop it from the end.
  list(LENGTH kept count)
  while(count GREATER 0)
    math(EXPR last "${count} - 1")
    list(GET kept ${last} word)
    string(REGEX REPLACE "^-l" "" library "${word}")
    if(NOT word MATCHES "^-l" OR NOT library IN_LIST arg_TRAILING)
      break()
    endif()
    list(REMOVE_AT kept ${last})
    set(count ${last})
  endwhile()
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

# The commands `zrvbuild -n ARGS...` prints in the reference directory, one list entry each.
function(dry_run out)
  run(output "${work}/ref" "${prefix}/bin/zrvbuild" -n ${ARGN})
  string(REGEX REPLACE "\n$" "" output "${output}")
  string(REPLACE ";" "\\;" output "${output}")
  string(REPLACE "\n" ";" lines "${output}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Configures the project into BUILD with the environment of the moment and compares every
# command with zrvbuild's.
function(configure_and_compare build)
  run(ignored "${work}" "${CMAKE_COMMAND}" -G Ninja "-DCMAKE_MAKE_PROGRAM=${ninja_path}"
      -S "${project_dir}" -B "${build}" "-DCMAKE_PREFIX_PATH=${prefix}"
      "-DZRV_EXAMPLE_DIR=${work}/ref" "-DZRV_EXPECTED_VERSION=${VERSION}"
      "-DCMAKE_PROJECT_INCLUDE=${here}/cmake_own_flags.cmake" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
      # The project's own flags stay empty, so that the commands hold the package's alone
      # (CMake too reads CFLAGS, CXXFLAGS, FFLAGS and LDFLAGS from the environment).
      -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS= -DCMAKE_CXX_FLAGS= -DCMAKE_Fortran_FLAGS=
      -DCMAKE_MODULE_LINKER_FLAGS= -DCMAKE_EXE_LINKER_FLAGS=)
  include("${build}/cmake_own_flags.cmake")
  separate_arguments(module_flags UNIX_COMMAND "${module_flags}")
  separate_arguments(module_create_flags UNIX_COMMAND "${module_create_flags}")
  separate_arguments(executable_flags UNIX_COMMAND "${executable_flags}")
  set(extra_runtime)
  foreach(library IN LISTS fortran_runtime)
    if(NOT library IN_LIST cxx_runtime)
      list(APPEND extra_runtime "${library}")
    endif()
  endforeach()

  file(READ "${build}/compile_commands.json" database)
  string(JSON entries LENGTH "${database}")
  math(EXPR last "${entries} - 1")
  set(compared 0)
  foreach(target_and_options IN ITEMS "stats|-lm" "stats_mex|--mex;-o;stats_mex"
                                      "mean_prog|--link-stand-alone;-o;mean_prog")
    string(REPLACE "|" ";" target_and_options "${target_and_options}")
    list(POP_FRONT target_and_options target)
    set(options ${target_and_options})
    if(target STREQUAL "mean_prog")
      set(sources mean_prog.cc)
    else()
      set(sources stats.cc scale.c sumsq.f90)
    endif()
    dry_run(reference ${options} ${sources})
    run(ninja_commands "${build}" "${ninja_path}" -t commands ${target})
    string(REGEX REPLACE "\n$" "" ninja_commands "${ninja_commands}")
    string(REPLACE ";" "\\;" ninja_commands "${ninja_commands}")
    string(REPLACE "\n" ";" ninja_commands "${ninja_commands}")
    # zrvbuild compiles Fortran, then C, then C++; the link is its last command.
    foreach(command IN LISTS reference)
      if(NOT command MATCHES " -c ")
        continue()
      endif()
      string(REGEX MATCH "[^ ]+ -o [^ ]+$" source "${command}")
      string(REGEX REPLACE " -o .*" "" source "${source}")
      compile_arguments(expected "${command}" "${source}")
      list(TRANSFORM expected REPLACE "^-I\\.$" "-I${project_dir}")
      set(found FALSE)
      foreach(index RANGE ${last})
        string(JSON file GET "${database}" ${index} file)
        string(JSON entry GET "${database}" ${index} command)
        if(file STREQUAL "${work}/ref/${source}" AND entry MATCHES " -o CMakeFiles/${target}\\.dir/")
          compile_arguments(actual "${entry}" "${file}")
          expect_equal("${target}: ${source} in compile_commands.json" "${expected}" "${actual}")
          set(found TRUE)
          math(EXPR compared "${compared} + 1")
        endif()
      endforeach()
      if(NOT found)
        message(FATAL_ERROR "${target}: ${source} is not in compile_commands.json")
      endif()
      # Ninja compiles Fortran in two steps of CMake's own (preprocess, then compile); C and C++
      # in the one command the database shows.
      if(NOT source MATCHES "\\.f90$")
        set(found FALSE)
        foreach(entry IN LISTS ninja_commands)
          if(entry MATCHES " -c ${work}/ref/${source}$")
            compile_arguments(actual "${entry}" "${work}/ref/${source}")
            expect_equal("${target}: ${source} in ninja's commands" "${expected}" "${actual}")
            set(found TRUE)
            math(EXPR compared "${compared} + 1")
          endif()
        endforeach()
        if(NOT found)
          message(FATAL_ERROR "${target}: no compile command for ${source} in ninja's commands")
        endif()
      endif()
    endforeach()
    list(GET reference -1 reference_link)
    link_arguments(expected "${reference_link}")
    list(GET ninja_commands -1 link)
    string(REGEX REPLACE "^: && (.*) && :$" "\\1" link "${link}")
    if(target STREQUAL "mean_prog")
      link_arguments(actual "${link}" LEADING ${executable_flags} TRAILING ${extra_runtime})
    else()
      link_arguments(actual "${link}" LEADING ${module_flags} BEFORE_OUTPUT ${module_create_flags}
                     TRAILING ${extra_runtime})
    endif()
    expect_equal("${target}: link command" "${expected}" "${actual}")
    math(EXPR compared "${compared} + 1")
    if(target STREQUAL "stats")
      set(module_link "${link}" PARENT_SCOPE)
    endif()
  endforeach()
  message("${build}: ${compared} commands match zrvbuild's")
endfunction()

file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/ref")
file(COPY "${examples}/" "${here}/mean_prog.cc" DESTINATION "${work}/ref")

# The installed tree, with the package beside the program.
run(ignored "${work}" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file bin/zrvbuild lib/cmake/zrvbuild/zrvbuild-config.cmake
        lib/cmake/zrvbuild/zrvbuild-config-version.cmake
        lib/cmake/zrvbuild/zrvbuild-functions.cmake)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# What the modules and the program print when zrvbuild builds them.
set(host "$ENV{ZORVAN_HOME}/bin/zrvhost")
run(ignored "${work}/ref" "${prefix}/bin/zrvbuild" stats.cc scale.c sumsq.f90)
run(ignored "${work}/ref" "${prefix}/bin/zrvbuild" --link-stand-alone -o mean_prog mean_prog.cc)
run(module_output "${work}/ref" "${host}" ./stats.zrv 1 2 3 4)
# The programs' run paths may name the environment where it is installed for good; the stand-in
# lies elsewhere.
set(run_program "${CMAKE_COMMAND}" -E env
                "LD_LIBRARY_PATH=$ENV{ZORVAN_HOME}/lib/zorvan/${VERSION}" ./mean_prog 1 2 3 4)
run(program_output "${work}/ref" ${run_program})
if(NOT module_output MATCHES "\nrms = 2.73861\n")
  message(FATAL_ERROR "the module zrvbuild built printed:\n${module_output}")
endif()

# The package's build: the same results.
file(REMOVE_RECURSE "${work}/build")
configure_and_compare("${work}/build")
run(ignored "${work}/build" "${ninja_path}")
# The module and the MEX file over the same Fortran module sources: each its own module file.
foreach(target IN ITEMS dots dots_mex)
  if(NOT EXISTS "${work}/build/modules/${target}/dotmod.mod")
    message(FATAL_ERROR "${target} made no module file of its own in modules/${target}")
  endif()
endforeach()
run(output "${work}/build" "${host}" ./stats.zrv 1 2 3 4)
expect_equal("the CMake-built module's output" "${module_output}" "${output}")
run(output "${work}/build" "${host}" ./stats_mex.mex 1 2 3 4)
string(REPLACE "./stats.zrv" "./stats_mex.mex" expected "${module_output}")
expect_equal("the CMake-built MEX file's output" "${expected}" "${output}")
run(output "${work}/build" ${run_program})
expect_equal("the CMake-built program's output" "${program_output}" "${output}")

# Overrides from the environment at configure time, names with blanks among them: the
# environment moved to a directory with a blank (zrvbuild's directories follow ZORVAN_HOME and
# are quoted then), a CPPFLAGS and a ZRV_LINK_OPTS naming directories with blanks, CXXFLAGS,
# and a CC with an option. CMake changes its own environment the first time
# it looks for compilers (it exports CC and CXX), so the commands are compared after the first
# configure run and again after a second one.
run(cppflags "${work}" "${prefix}/bin/zrvbuild" -p CPPFLAGS)
run(link_opts "${work}" "${prefix}/bin/zrvbuild" -p ZRV_LINK_OPTS)
string(REGEX REPLACE "\n$" "" cppflags "${cppflags}")
string(REGEX REPLACE "\n$" "" link_opts "${link_opts}")
file(COPY "$ENV{ZORVAN_HOME}/" DESTINATION "${work}/zorvan home")
set(ENV{ZORVAN_HOME} "${work}/zorvan home")
set(ENV{CXXFLAGS} "-O1 -DZRV_FROM_ENVIRONMENT")
set(ENV{CPPFLAGS} "${cppflags} -I\"${work}/include dir\"")
set(ENV{ZRV_LINK_OPTS} "${link_opts} -Wl,-rpath,\"${work}/lib dir\"")
set(ENV{CC} "gcc -std=gnu99")
configure_and_compare("${work}/build-override")
configure_and_compare("${work}/build-override")
run(ignored "${work}/build-override" "${ninja_path}" stats)
run(output "${work}/build-override" "${work}/zorvan home/bin/zrvhost" ./stats.zrv 1 2 3 4)
expect_equal("the module built with the overrides" "${module_output}" "${output}")
run(commands "${work}/build-override" "${ninja_path}" -t commands stats)
string(REGEX MATCH "[^\n]* -c ${work}/ref/stats.cc\n" command "${commands}")
separate_arguments(command UNIX_COMMAND "${command}")
expect_contains("the compile command of stats.cc" "${command}" -DZRV_FROM_ENVIRONMENT)
expect_contains("the compile command of stats.cc" "${command}" "-I${work}/include dir")
expect_contains("the compile command of stats.cc" "${command}"
                "-I${work}/zorvan home/include/zorvan-${VERSION}/zorvan")
separate_arguments(module_link UNIX_COMMAND "${module_link}")
expect_contains("the module's link command" "${module_link}" "-Wl,-rpath,${work}/lib dir")

file(REMOVE_RECURSE "${work}")
message("the package built the example as zrvbuild does")
