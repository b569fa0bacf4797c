# Checks that the source layers include one another in one direction only, top to bottom:
#   driver -> phases -> run -> config -> platform -> text.
# The driver (entry, command-line walk, fixed texts, run sequence) uses everything; the phases
# use the run's services (record, runner, printing, progress, long commands) and what lies below;
# the run's services know nothing of the phases or the driver; the configuration nothing of the
# run; the platform layer nothing of the program; the text rules nothing at all.
# Run as: cmake -DSOURCE_DIR=<tree with src/> -P check_layers.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

# layer folder, then the include prefixes it must not use (every layer above it)
set(forbidden_phases "driver/")
set(forbidden_run "driver/" "phases/")
set(forbidden_config "driver/" "phases/" "run/")
set(forbidden_platform "driver/" "phases/" "run/" "config/" "build_constants.h")
set(forbidden_text "driver/" "phases/" "run/" "config/" "platform/" "build_constants.h")

set(violations "")
foreach(layer phases run config platform text)
  file(GLOB_RECURSE layer_files "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cc")
  foreach(path ${layer_files})
    file(STRINGS "${path}" include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${include_lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" included "${line}")
      foreach(prefix ${forbidden_${layer}})
        string(FIND "${included}" "${prefix}" at)
        if(at EQUAL 0)
          file(RELATIVE_PATH shown "${SOURCE_DIR}" "${path}")
          string(APPEND violations "  ${shown} includes ${included}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "includes against the direction of the layers:\n${violations}")
endif()
message(STATUS "layers: every include points down")
