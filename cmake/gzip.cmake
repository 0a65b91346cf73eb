cmake_minimum_required(VERSION 3.21)
# Compresses one file as Debian wants it: gzip -9n, no name or time stored, so the
# same input always gives the same bytes.
# -DGZIP=<gzip> -DIN=<file> -DOUT=<file.gz>
execute_process(COMMAND ${GZIP} -9n -c ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE ${OUT})
    message(FATAL_ERROR "${GZIP} failed on ${IN}: ${result}")
endif()
