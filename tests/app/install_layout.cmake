# Installs the build into a scratch prefix and checks what a user gets: the programs named in
# PROGRAMS and nothing else in bin, each with its manual page; the user guide in the data
# folder, byte for byte as built; the copyright file and the changelog in the doc folder.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch folder> -DPROGRAMS=<a,b,...>
#         -P install_layout.cmake
foreach(var BUILD_DIR PREFIX PROGRAMS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install failed (${status}):\n${log}")
endif()

set(problems "")
file(GLOB installed RELATIVE ${PREFIX}/bin ${PREFIX}/bin/*)
list(SORT installed)
set(expected ${PROGRAMS})
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(APPEND problems "bin holds [${installed}], not the programs [${expected}]\n")
endif()
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS ${PREFIX}/share/man/man1/${program}.1.gz)
    string(APPEND problems "${program} has no manual page\n")
  endif()
endforeach()
foreach(file share/vexal/lusk.hlp share/doc/vexal/copyright share/doc/vexal/changelog.gz)
  if(NOT EXISTS ${PREFIX}/${file})
    string(APPEND problems "${file} is not installed\n")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${problems}")
endif()

file(SHA256 ${BUILD_DIR}/bin/lusk.hlp built)
file(SHA256 ${PREFIX}/share/vexal/lusk.hlp installed)
if(NOT built STREQUAL installed)
  message(FATAL_ERROR "the installed lusk.hlp differs from the built one")
endif()
file(READ ${PREFIX}/share/doc/vexal/copyright notice)
if(NOT notice MATCHES "License: GPL-3\\+")
  message(FATAL_ERROR "the copyright file does not name GPL-3+")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed: ${installed}, with their manual pages and the guide in share/vexal")
