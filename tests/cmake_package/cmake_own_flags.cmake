# Included after project() in the checked project (CMAKE_PROJECT_INCLUDE): writes down what
# CMake itself puts into link commands, so that the check can tell it from what the package
# adds.
file(WRITE "${CMAKE_BINARY_DIR}/cmake_own_flags.cmake"
     "set(module_flags [==[${CMAKE_SHARED_MODULE_CXX_FLAGS}]==])\n"
     "set(module_create_flags [==[${CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS}]==])\n"
     "set(executable_flags [==[${CMAKE_CXX_LINK_FLAGS}]==])\n"
     "set(fortran_runtime [==[${CMAKE_Fortran_IMPLICIT_LINK_LIBRARIES}]==])\n"
     "set(cxx_runtime [==[${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES}]==])\n")
