cmake_minimum_required(VERSION 3.21)
# Compiles the configured Windows resource with the MinGW resource compiler and checks
# that the version numbers in it are the project's.
# -DWINDRES=<windres> -DRC=<configured .rc> -DOUT=<work folder> -DVERSION=<x.y.z>
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${WINDRES} -i ${RC} -o ${OUT}/poronbo_rc.o RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${WINDRES} failed on ${RC}: ${result}")
endif()
# Read back from the compiled object, so the check sees what the program would carry.
execute_process(COMMAND ${WINDRES} -i ${OUT}/poronbo_rc.o -O rc
                RESULT_VARIABLE result OUTPUT_VARIABLE text)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${WINDRES} cannot read back ${OUT}/poronbo_rc.o: ${result}")
endif()
string(REPLACE "." ", " numbers "${VERSION}")
foreach(expected IN ITEMS "FILEVERSION ${numbers}, 0" "PRODUCTVERSION ${numbers}, 0"
                          "BLOCK \"041104B0\"" "VALUE \"FileVersion\", \"${VERSION}\""
                          "VALUE \"ProductVersion\", \"${VERSION}\"" "RT_GROUP_ICON")
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "The compiled resource lacks: ${expected}")
    endif()
endforeach()
message("ok   ${RC}: version ${VERSION}, icon, Japanese string table")
