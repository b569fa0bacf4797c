# The direction of includes between the source layers, on the real tree and on a tree with
# planted wrong includes, which must fail and name each fault.
add_test(NAME layers.includes_point_down
         COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -P "${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake")
add_test(NAME layers.planted_includes_are_refused
         COMMAND "${CMAKE_COMMAND}" -DPLANTED_DIR=${CMAKE_CURRENT_SOURCE_DIR}/layers/planted
                 -DCHECK_SCRIPT=${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
                 -P "${CMAKE_CURRENT_SOURCE_DIR}/layers/refuses_planted.cmake")
