# Shared part of the MinGW-w64 tool chain files: Debian's cross compilers for the target named by
# ZRVBUILD_MINGW_TARGET, fully static programs (only system DLLs are needed at run time), and
# Wine to run the test programs on the build machine.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks. Its thread
# library is linked statically like the rest.
set(CMAKE_C_COMPILER ${ZRVBUILD_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRVBUILD_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRVBUILD_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRVBUILD_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLL beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ZRVBUILD_WINE wine)
if(ZRVBUILD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ZRVBUILD_WINE}")
endif()
