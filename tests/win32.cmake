# The programs that the Windows tests start or load: a fake tool for compilers and linkers, an
# argument echo, a launcher that replaces itself through the exec wrappers, a library whose
# name carries the product word, and zrvbuild without its UTF-8 manifest.
if(NOT WIN32)
  return()
endif()

set(_win32_helpers "${CMAKE_CURRENT_SOURCE_DIR}/win32/helpers")
add_executable(zrvbuild_fake_tool "${_win32_helpers}/fake_tool.cc")
target_include_directories(zrvbuild_fake_tool PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
add_executable(zrvbuild_argv_echo "${_win32_helpers}/argv_echo.cc")
add_executable(zrvbuild_exec_launcher "${_win32_helpers}/exec_launcher.cc")
target_link_libraries(zrvbuild_exec_launcher PRIVATE zrvbuild_core)
add_library(zorvan_probe SHARED "${_win32_helpers}/zorvan_probe.cc")
# zrvbuild as it was before it carried its UTF-8 manifest, to show what the manifest changes.
add_executable(zrvbuild_ansi "${PROJECT_SOURCE_DIR}/src/driver/main.cc")
target_link_libraries(zrvbuild_ansi PRIVATE zrvbuild_core)
foreach(_helper zrvbuild_fake_tool zrvbuild_argv_echo zrvbuild_exec_launcher zorvan_probe
        zrvbuild_ansi)
  zrvbuild_warnings(${_helper})
endforeach()
# The tests and the tools they start work in UTF-8 like zrvbuild.exe.
foreach(_program zrvbuild_tests zrvbuild_fake_tool zrvbuild_argv_echo zrvbuild_exec_launcher)
  zrvbuild_utf8_manifest(${_program})
endforeach()

add_dependencies(zrvbuild_tests zrvbuild_fake_tool zrvbuild_argv_echo zrvbuild_exec_launcher
                 zorvan_probe zrvbuild_ansi)
target_compile_definitions(zrvbuild_tests PRIVATE
  ZRVBUILD_FAKE_TOOL="$<TARGET_FILE:zrvbuild_fake_tool>"
  ZRVBUILD_ARGV_ECHO="$<TARGET_FILE:zrvbuild_argv_echo>"
  ZRVBUILD_EXEC_LAUNCHER="$<TARGET_FILE:zrvbuild_exec_launcher>"
  ZRVBUILD_PROBE_DLL="$<TARGET_FILE:zorvan_probe>"
  ZRVBUILD_ANSI_EXE="$<TARGET_FILE:zrvbuild_ansi>")
