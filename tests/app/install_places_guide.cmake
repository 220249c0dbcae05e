# Installs the build into a scratch prefix and checks that the user guide lies beside the
# installed program, byte for byte as built, with the licence notice in the package's doc
# folder.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch folder> -P install_places_guide.cmake
foreach(var BUILD_DIR PREFIX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install failed (${status}):\n${log}")
endif()

foreach(file bin/vexal bin/lusk.hlp share/doc/vexal/copyright)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} is not installed under ${PREFIX}")
  endif()
endforeach()
file(SHA256 ${BUILD_DIR}/bin/lusk.hlp built)
file(SHA256 ${PREFIX}/bin/lusk.hlp installed)
if(NOT built STREQUAL installed)
  message(FATAL_ERROR "the installed lusk.hlp differs from the built one")
endif()
file(READ ${PREFIX}/share/doc/vexal/copyright notice)
if(NOT notice MATCHES "License: GPL-3\\+")
  message(FATAL_ERROR "the copyright file does not name GPL-3+")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "lusk.hlp installed beside vexal")
