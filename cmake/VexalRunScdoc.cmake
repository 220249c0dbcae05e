# Makes one manual page: scdoc reads IN and writes the page to OUT. A failed run leaves no
# page behind, so the next build tries again.
#   cmake -DSCDOC=<scdoc> -DIN=<page.1.scd> -DOUT=<page.1> -P VexalRunScdoc.cmake
execute_process(COMMAND ${SCDOC} INPUT_FILE ${IN} OUTPUT_FILE ${OUT}.part
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  file(REMOVE ${OUT}.part)
  message(FATAL_ERROR "scdoc could not read ${IN}:\n${errors}")
endif()
file(RENAME ${OUT}.part ${OUT})
