# Installs the build into a scratch prefix and builds the project in usage/ through the installed
# CMake package with Ninja. Checks that
#  - each module compiles under the standard its definitions expect (it does not compile under
#    any other), shows that standard when the host calls it, and that its compile command holds
#    zrvbuild's -std= only where the project set no standard by CMake's means, and never two;
#  - a module and a program built with target_include_directories, target_compile_definitions
#    and target_link_libraries with the project's static and shared libraries show the values
#    those give, and do so again from where install(TARGETS ...) puts them, with the build tree
#    gone;
#  - a configure run with ZORVAN_HOME naming no environment (an empty directory, headers without
#    libraries) stops with the reason at find_package, and a search without REQUIRED finds
#    nothing and goes on.
# The environment the script starts with is the one zrvbuild runs in (ZORVAN_HOME names the
# stand-in environment). Prints "SKIP: " and the reason when Ninja is missing, unless
# ZRVBUILD_REQUIRE_TOOLS is set.
#
# cmake -DBUILD_DIR=<zrvbuild build> -DVERSION=<version> -P check_target_commands.cmake
cmake_minimum_required(VERSION 3.22)

set(here "${CMAKE_CURRENT_LIST_DIR}")
set(work "${BUILD_DIR}/cmake_package_usage")
set(prefix "${work}/prefix")
set(project_dir "${here}/usage")
include("${here}/check_helpers.cmake")

find_program(ninja_path ninja)
if(NOT ninja_path)
  if(DEFINED ENV{ZRVBUILD_REQUIRE_TOOLS})
    message(FATAL_ERROR "ninja is missing and ZRVBUILD_REQUIRE_TOOLS is set")
  endif()
  message("SKIP: ninja is not installed")
  return()
endif()
if(NOT DEFINED ENV{ZORVAN_HOME})
  message(FATAL_ERROR "ZORVAN_HOME must name the stand-in environment")
endif()
set(home "$ENV{ZORVAN_HOME}")
set(host "${home}/bin/zrvhost")
# The programs' run paths name the environment where it is installed for good; the stand-in
# lies elsewhere.
set(with_environment "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${home}/lib/zorvan/${VERSION}")

file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
run(ignored "${work}" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# The configure command of the project, with the project's own flags empty so that the
# commands hold the package's alone.
set(configure "${CMAKE_COMMAND}" -G Ninja "-DCMAKE_MAKE_PROGRAM=${ninja_path}" -S "${project_dir}"
    "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS= -DCMAKE_CXX_FLAGS=)

run(ignored "${work}" ${configure} -B "${work}/build" "-DCMAKE_INSTALL_PREFIX=${work}/installed")
run(ignored "${work}/build" "${ninja_path}")

# Standards: the module, the standard it shows, zrvbuild's -std= when it must be there.
foreach(case IN ITEMS "cxx_none|201103|-std=gnu++11" "c_none|201112|-std=gnu11"
                      "cxx_variable|201402|" "c_variable|199901|" "cxx_strict|201703|"
                      "c_strict|201112|" "cxx_feature||" "c_feature||" "cxx_linked_feature||")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 module)
  list(GET case 1 shown)
  list(GET case 2 zrvbuild_standard)
  run(output "${work}/build" "${host}" ./${module}.zrv)
  if(shown STREQUAL "")
    string(REGEX MATCH "standard = [0-9]+" shown_line "${output}")
  else()
    set(shown_line "standard = ${shown}")
  endif()
  if(NOT output MATCHES "\nstandard = [0-9]+\n" OR NOT output MATCHES "\n${shown_line}\n")
    message(FATAL_ERROR "${module} showed:\n${output}")
  endif()
  run(commands "${work}/build" "${ninja_path}" -t commands ${module})
  string(REGEX MATCH "[^\n]* -c [^\n]*/standard\\.cc?\n" command "${commands}")
  separate_arguments(command UNIX_COMMAND "${command}")
  set(standards)
  foreach(word IN LISTS command)
    if(word MATCHES "^-std=")
      list(APPEND standards "${word}")
    endif()
  endforeach()
  list(LENGTH standards count)
  if(count GREATER 1)
    message(FATAL_ERROR "${module}: more than one standard in its compile command: ${standards}")
  endif()
  if(NOT zrvbuild_standard STREQUAL "")
    expect_equal("${module}: the standard in its compile command" "${zrvbuild_standard}"
                 "${standards}")
  elseif(standards MATCHES "^-std=gnu(\\+\\+)?11$")
    message(FATAL_ERROR "${module}: zrvbuild's ${standards} stands in its compile command")
  endif()
endforeach()

# The target commands, in the build tree and installed, with the build tree gone.
set(module_expected "usage = 42\n")
set(program_expected "usage = 17.5\n")
run(output "${work}/build" "${host}" ./usage.zrv 1 2 3 4)
string(REGEX MATCH "usage = [^\n]*\n" output "${output}")
expect_equal("the module with the target commands" "${module_expected}" "${output}")
run(output "${work}/build" ${with_environment} ./usage_prog 1 2 3 4)
expect_equal("the program with the target commands" "${program_expected}" "${output}")
run(ignored "${work}/build" "${CMAKE_COMMAND}" --install .)
file(REMOVE_RECURSE "${work}/build")
run(output "${work}" "${host}" "${work}/installed/lib/usage/usage.zrv" 1 2 3 4)
string(REGEX MATCH "usage = [^\n]*\n" output "${output}")
expect_equal("the installed module" "${module_expected}" "${output}")
run(output "${work}" ${with_environment} "${work}/installed/bin/usage_prog" 1 2 3 4)
expect_equal("the installed program" "${program_expected}" "${output}")

# No environment where ZORVAN_HOME points: an empty directory, then one with the headers alone.
file(MAKE_DIRECTORY "${work}/empty" "${work}/headers only/lib")
file(COPY "${home}/include" DESTINATION "${work}/headers only")
set(include_dir "include/zorvan-${VERSION}/zorvan")
foreach(case IN ITEMS
        "empty|its headers (ZRVINCLUDEDIR): ${work}/empty/${include_dir}/zorvan.h does not exist"
        "headers only|its libraries (ZRVLIBDIR): ${work}/headers only/lib/zorvan/${VERSION} is no directory")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 lacks)
  set(ENV{ZORVAN_HOME} "${work}/${name}")
  execute_process(COMMAND ${configure} -B "${work}/missing"
                  OUTPUT_VARIABLE output ERROR_VARIABLE error RESULT_VARIABLE status)
  if(status STREQUAL "0")
    message(FATAL_ERROR "configured with ZORVAN_HOME=${work}/${name}:\n${output}")
  endif()
  # CMake wraps the reason in its own lines: compare it with the blanks run together.
  string(REGEX REPLACE "[ \n]+" " " error "${error}")
  set(reason "no Zorvan environment: ZORVAN_HOME names ${work}/${name}, which lacks ${lacks}")
  string(FIND "${error}" "${reason}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "ZORVAN_HOME=${work}/${name}: no [${reason}] in:\n${error}")
  endif()
  if(EXISTS "${work}/missing/build.ninja")
    message(FATAL_ERROR "ZORVAN_HOME=${work}/${name}: the configure run generated a build")
  endif()
  run(output "${work}" ${configure} -B "${work}/find-only" -DZRV_FIND_ONLY=ON)
  if(NOT output MATCHES "zrvbuild_FOUND=0")
    message(FATAL_ERROR "ZORVAN_HOME=${work}/${name}: a search without REQUIRED said:\n${output}")
  endif()
  file(REMOVE_RECURSE "${work}/missing" "${work}/find-only")
endforeach()
set(ENV{ZORVAN_HOME} "${home}")

file(REMOVE_RECURSE "${work}")
message("the package's targets take CMake's target commands and standards")
