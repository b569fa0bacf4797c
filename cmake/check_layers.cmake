# Checks that the source layers include one another in one direction only:
#   driver -> phases -> config -> platform, and text below them all.
# The platform layer and the text rules know nothing of the program; the configuration knows
# nothing of the driver or the phases; the phases use only the driver's runner, run record,
# printing path and progress lines. Run as: cmake -DSOURCE_DIR=<tree with src/> -P check_layers.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

# layer folder, then the include prefixes it must not use
set(forbidden_platform "driver/" "config/" "phases/" "build_constants.h")
set(forbidden_text "driver/" "config/" "phases/" "platform/" "build_constants.h")
set(forbidden_config "driver/" "phases/")
set(forbidden_phases "driver/command_line.h" "driver/help_text.h" "driver/run_sequence.h")

set(violations "")
foreach(layer platform text config phases)
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
