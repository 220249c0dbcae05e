# What a user gets installed: the programs, each with its manual page. A program is installed
# only through vexal_install_program(); the tools that tests and the documentation use
# (the virtual meter, the panel picture tool) are built but never installed.
#
# A new tool adds one line to its CMakeLists.txt, after its add_executable():
#
#   vexal_install_program(vexal-newtool)
#
# and its manual page source packaging/man/vexal-newtool.1.scd (scdoc). The program lands in
# <prefix>/bin, the page in <prefix>/share/man/man1, and the Debian package takes both, with
# the libraries the program links as dependencies.
include(GNUInstallDirs)

set(VEXAL_MAN_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging/man)
set(VEXAL_MAN_BUILD_DIR ${PROJECT_BINARY_DIR}/man)

# The manual pages are made with scdoc and compressed as Debian installs them.
find_program(VEXAL_SCDOC scdoc)
find_program(VEXAL_GZIP gzip REQUIRED)

add_custom_target(vexal_man_pages ALL)

# The program's data (the user guide lusk.hlp) and, for the program, the way there from the
# folder it is installed in: found that way, an installed tree can be moved to another prefix
# (the Debian package installs into /usr, `cmake --install` into /usr/local or anywhere).
set(VEXAL_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/vexal)
file(RELATIVE_PATH VEXAL_DATA_DIR_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/vexal)

# vexal_install_program(<target>): installs the program and makes and installs its manual
# page (section 1) from packaging/man/<target>.1.scd.
function(vexal_install_program target)
  set(source ${VEXAL_MAN_SOURCE_DIR}/${target}.1.scd)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${target} is installed for users but has no manual page: "
                        "write packaging/man/${target}.1.scd (see packaging/man/README.md)")
  endif()
  if(NOT VEXAL_SCDOC)
    message(FATAL_ERROR "scdoc makes the manual pages: run scripts/install-deps.sh")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # As Debian links its programs: every symbol bound at start, the relocations then read-only.
  target_link_options(${target} PRIVATE LINKER:-z,relro,-z,now)

  set(page ${VEXAL_MAN_BUILD_DIR}/${target}.1)
  # The page's date is the date of the package's latest changelog entry, so a rebuild makes
  # the same page.
  add_custom_command(
    OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VEXAL_MAN_BUILD_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VEXAL_RELEASE_EPOCH}
            ${CMAKE_COMMAND} -DSCDOC=${VEXAL_SCDOC} -DIN=${source} -DOUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/VexalRunScdoc.cmake
    COMMAND ${VEXAL_GZIP} -9nf -k ${page}
    DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/VexalRunScdoc.cmake
    COMMENT "Manual page ${target}(1)"
    VERBATIM)
  add_custom_target(${target}_man DEPENDS ${page}.gz)
  add_dependencies(vexal_man_pages ${target}_man)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set_property(GLOBAL APPEND PROPERTY VEXAL_INSTALLED_PROGRAMS ${target})
endfunction()

# Who answers for the package: the Debian control file, the changelog and the copyright file
# name the same address.
set(VEXAL_MAINTAINER "Vexal developers <developers@vexal.example.org>")

# The package's changelog, in Debian's format. Its latest entry's date also dates the manual
# pages.
set(VEXAL_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${VEXAL_CHANGELOG} @ONLY)
execute_process(COMMAND dpkg-parsechangelog -l ${VEXAL_CHANGELOG} -S Timestamp
                OUTPUT_VARIABLE VEXAL_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0 OR NOT VEXAL_RELEASE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "dpkg-parsechangelog cannot read packaging/changelog.in "
                      "(dpkg-dev, from scripts/install-deps.sh, brings it)")
endif()
