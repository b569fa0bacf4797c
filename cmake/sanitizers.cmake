# Instrumentation for the checked builds. Applied to every target defined after this file is
# included (the product, the tests, the example fixtures), so that an instrumented test never
# loads an uninstrumented part of ours and a report anywhere ends the process.

if(ZRVBUILD_SANITIZE)
  # No recovery: the first report of either sanitizer ends the process with a failure. The tests
  # get the same flags for what they build with the real tool chain against our libraries.
  set(ZRVBUILD_SANITIZER_FLAGS
      "-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all")
  separate_arguments(_sanitizer_options UNIX_COMMAND "${ZRVBUILD_SANITIZER_FLAGS}")
  add_compile_options(${_sanitizer_options})
  add_link_options(-fsanitize=address,undefined)
endif()

if(ZRVBUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): use the 'fuzz' preset.")
  endif()
  # Coverage for libFuzzer in all of our code; the fuzz targets add the libFuzzer driver itself.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
