# 64-bit Windows with MinGW-w64: cross compiled on Linux, tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZRVBUILD_MINGW_TARGET x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
