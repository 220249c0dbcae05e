# Installed like a desktop program: the programs with their manual pages (vexal_install_program
# in each program's folder), a desktop entry and the icon, so Vexal appears in the desktop's
# application menu, and the user guide in the data folder. `cpack` (run in the build folder)
# builds a Debian package of the same.
install(FILES packaging/vexal.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/vexal.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The cable's access rule. udev reads /usr/lib/udev/rules.d (the Debian package's place);
# under another prefix the rule lands in <prefix>/lib/udev/rules.d, to be copied to
# /etc/udev/rules.d by hand (see README).
install(FILES packaging/60-vexal-cable.rules DESTINATION lib/udev/rules.d)

# The package's documents: the licence and the copyright notice of the program and of what it
# links, and the changelog, compressed as Debian keeps it.
set(vexal_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vexal)
configure_file(packaging/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${vexal_doc_dir})
add_custom_command(
  OUTPUT ${VEXAL_CHANGELOG}.gz
  COMMAND ${VEXAL_GZIP} -9nf -k ${VEXAL_CHANGELOG}
  DEPENDS ${VEXAL_CHANGELOG}
  COMMENT "Compressing the package's changelog"
  VERBATIM)
add_custom_target(vexal_changelog ALL DEPENDS ${VEXAL_CHANGELOG}.gz)
install(FILES ${VEXAL_CHANGELOG}.gz DESTINATION ${vexal_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexal)
set(CPACK_PACKAGE_VENDOR "Vexal developers")
set(CPACK_PACKAGE_CONTACT "${VEXAL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEXAL_MAINTAINER}")
# The synopsis (at most 80 characters) and the extended description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "desktop companion of hand-held insulation-resistance meters on a USB cable")
# Read here rather than named by CPACK_PACKAGE_DESCRIPTION_FILE, which cpack would pass
# through with quotes and apostrophes turned into XML entities. CPackConfig.cmake holds the
# text in a quoted argument, so its own quotes and backslashes are escaped.
file(READ ${PROJECT_SOURCE_DIR}/packaging/description vexal_description)
string(REPLACE "\\" "\\\\" vexal_description "${vexal_description}")
string(REPLACE "\"" "\\\"" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${vexal_description}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vexal)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # adds the libraries the programs link
# Loaded at run time: the desktop's window-system plugins and the SVG icon reader.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package as users get it: built by cpack, lintian-clean, every program with its manual
# page (needs the whole build).
get_property(vexal_programs GLOBAL PROPERTY VEXAL_INSTALLED_PROGRAMS)
add_test(NAME Package.DebianPackageIsLintianClean
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/check_deb.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_BINARY_DIR}/package-check ${vexal_programs})
set_tests_properties(Package.DebianPackageIsLintianClean PROPERTIES TIMEOUT 900 LABELS package)
