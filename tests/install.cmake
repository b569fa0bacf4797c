# Install and package checks: cmake --install into a scratch prefix, and CPack's archives looked
# into. Both scripts exit 77 to report a skip. They share the build tree's install manifest, so
# they never run at the same time.
if(NOT WIN32)
  add_test(NAME install.layout
           COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/install/check_install.sh" "${CMAKE_COMMAND}"
                   "${PROJECT_BINARY_DIR}" "${PROJECT_SOURCE_DIR}" "${ZRVBUILD_VERSION}"
                   "${ZRVBUILD_CONFIGURATION}")
  # cmake/packaging.cmake: a gnu-linux build makes a Debian package only for the prefix /usr.
  if(ZRVBUILD_CONFIGURATION STREQUAL "gnu-linux" AND NOT ZRVBUILD_PREFIX STREQUAL "/usr")
    set(_zrv_debian no)
  else()
    set(_zrv_debian yes)
  endif()
  add_test(NAME install.packages
           COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/install/check_packages.sh" "${CMAKE_CPACK_COMMAND}"
                   "${PROJECT_BINARY_DIR}" "${ZRVBUILD_VERSION}" "${_zrv_debian}")
  set_tests_properties(install.layout install.packages PROPERTIES
                       SKIP_RETURN_CODE 77 RESOURCE_LOCK zrvbuild_install_tree LABELS ecosystem)
  # A configure run without a preset says which configuration it builds.
  add_test(NAME install.configure_names_its_configuration
           COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/install/check_configure_notice.sh"
                   "${CMAKE_COMMAND}" "${PROJECT_SOURCE_DIR}")
endif()
