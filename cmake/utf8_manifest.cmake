# Windows programs whose narrow-character calls (argv, getenv, file names, system, popen, Tool
# Help) work in UTF-8 rather than in the ANSI code page, which turns letters outside it into
# "?". The manifest is linked in as the program's resource 1 of type RT_MANIFEST (24).
if(NOT WIN32)
  return()
endif()
enable_language(RC)

set(ZRVBUILD_UTF8_MANIFEST "${PROJECT_SOURCE_DIR}/src/platform/utf8.manifest")
set(_zrv_manifest_rc "${PROJECT_BINARY_DIR}/generated/utf8_manifest.rc")
file(CONFIGURE OUTPUT "${_zrv_manifest_rc}" CONTENT "1 24 \"@ZRVBUILD_UTF8_MANIFEST@\"\n" @ONLY)
set_source_files_properties("${_zrv_manifest_rc}" PROPERTIES
  OBJECT_DEPENDS "${ZRVBUILD_UTF8_MANIFEST}")
set(ZRVBUILD_UTF8_MANIFEST_RC "${_zrv_manifest_rc}")

function(zrvbuild_utf8_manifest target)
  target_sources(${target} PRIVATE "${ZRVBUILD_UTF8_MANIFEST_RC}")
endfunction()
