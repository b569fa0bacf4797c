# 32-bit Windows with MinGW-w64, the standard configuration: cross compiled on Linux, tests
# run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZRVBUILD_MINGW_TARGET i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
