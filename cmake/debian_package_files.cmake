# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) once the files of a package are staged: the Debian
# package gets what Debian's policy asks of every package, and other packages stay as they are.
#  - usr/share/doc/zrvbuild/copyright (the licence, in Debian's machine-readable form) in place
#    of LICENSE;
#  - usr/share/doc/zrvbuild/changelog.gz;
#  - the manual page compressed.
# gzip -n leaves names and times out of the compressed files, so they depend on content alone.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
find_program(gzip_program gzip REQUIRED)
function(compress file)
  execute_process(COMMAND "${gzip_program}" -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "gzip -9nf ${file} failed (${status})")
  endif()
endfunction()

file(READ "${CPACK_RESOURCE_FILE_LICENSE}" license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" ignored "${license}")
set(holder "${CMAKE_MATCH_1}")
# The licence text under its short name, each line indented, empty lines as " .".
string(REGEX REPLACE "^MIT License\n+" "" license_text "${license}")
string(REGEX REPLACE "\n+$" "" license_text "${license_text}")
string(REGEX REPLACE "Copyright \\(c\\) [^\n]*\n+" "" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text " ${license_text}")
string(REPLACE "\n \n" "\n .\n" license_text "${license_text}")
string(REPLACE "\n \n" "\n .\n" license_text "${license_text}")
file(WRITE "${doc}/copyright"
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${CPACK_PACKAGE_NAME}\n\n"
     "Files: *\nCopyright: ${holder}\nLicense: Expat\n\n"
     "License: Expat\n${license_text}\n")
file(REMOVE "${doc}/LICENSE")

# A native package's changelog: one entry for the packaged version. The date is that of
# SOURCE_DATE_EPOCH when it is set, so that a rebuild gives the same file.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog"
     "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
compress("${doc}/changelog")

file(GLOB pages "${root}/share/man/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    compress("${page}")
  endif()
endforeach()
