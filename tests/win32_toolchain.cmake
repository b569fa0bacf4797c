# The standard configuration on its own platform: zrvbuild.exe under Wine drives the real
# MinGW-w64 tools of this build's target through stand-ins (tool_stand_in.cc, installed as
# gcc.exe, g++.exe, gfortran.exe and strip.exe, and tool_runner.sh), against the Windows
# layout of the example environment, and the Windows host loads what it built. Each case is
# one CTest test run by tests/win32/toolchain_case.sh on the build machine.
if(NOT WIN32 OR NOT CMAKE_CROSSCOMPILING OR NOT ZRVBUILD_BUILD_EXAMPLES)
  return()
endif()

set(_stand_in_dir "${PROJECT_BINARY_DIR}/toolchain-stand-ins")
add_executable(zrvbuild_tool_stand_in "${CMAKE_CURRENT_SOURCE_DIR}/win32/helpers/tool_stand_in.cc")
target_link_libraries(zrvbuild_tool_stand_in PRIVATE zrvbuild_core)
target_link_options(zrvbuild_tool_stand_in PRIVATE -municode)
target_compile_definitions(zrvbuild_tool_stand_in PRIVATE
  ZRVBUILD_MINGW_TARGET="${ZRVBUILD_MINGW_TARGET}"
  ZRVBUILD_TOOL_RUNNER="${CMAKE_CURRENT_SOURCE_DIR}/win32/helpers/tool_runner.sh")
zrvbuild_warnings(zrvbuild_tool_stand_in)
foreach(_tool gcc g++ gfortran strip)
  add_custom_command(TARGET zrvbuild_tool_stand_in POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${_stand_in_dir}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:zrvbuild_tool_stand_in>"
            "${_stand_in_dir}/${_tool}.exe")
endforeach()
add_dependencies(zrvbuild_tests zrvbuild_tool_stand_in zorvan zrvinterp zrvhost)

# The libraries of the built-in link lists that neither the stand-in environment nor the tool
# chain has; the cases leave them out of ZRV_LINK_DEPS and ZORVAN_LINK_DEPS, and nothing else.
set(_missing "")
separate_arguments(_items UNIX_COMMAND "${ZRVBUILD_ZRV_LINK_DEPS} ${ZRVBUILD_ZORVAN_LINK_DEPS}")
list(REMOVE_DUPLICATES _items)
foreach(_item ${_items})
  if(NOT _item MATCHES "^-l(.+)$")
    continue()
  endif()
  set(_found NO)
  foreach(_file "lib${CMAKE_MATCH_1}.a" "lib${CMAKE_MATCH_1}.dll.a")
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" "-print-file-name=${_file}"
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_path MATCHES "/")
      set(_found YES)
    endif()
  endforeach()
  if(NOT _found)
    string(APPEND _missing " ${_item}")
  endif()
endforeach()

set(_cases example example_two_jobs depend_make stand_alone thousand_objects names
    compile_error)
foreach(_case ${_cases})
  add_test(NAME win32_toolchain.${_case}
           COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/win32/toolchain_case.sh" ${_case})
  set_tests_properties(win32_toolchain.${_case} PROPERTIES
    TIMEOUT 900
    ENVIRONMENT "ZRV_BUILD=${PROJECT_BINARY_DIR};ZRV_SOURCE=${PROJECT_SOURCE_DIR};\
ZRV_WINE=${CMAKE_CROSSCOMPILING_EMULATOR};ZRV_TARGET=${ZRVBUILD_MINGW_TARGET};\
ZRV_STAND_INS=${_stand_in_dir};ZRV_MISSING_LIBS=${_missing};ZRV_VERSION=${ZRVBUILD_VERSION}")
endforeach()
