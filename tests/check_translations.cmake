cmake_minimum_required(VERSION 3.21)
# Runs lupdate over the sources into a copy of the translation file: every text the sources
# translate must be in it with its translation (none unfinished or empty), and every entry
# in it must still be in the sources (none obsolete).
# -DLUPDATE=<lupdate> -DSOURCES=<src folder> -DTS=<poronbo_en.ts> -DOUT=<work folder>
get_filename_component(name ${TS} NAME)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(COPY_FILE ${TS} ${OUT}/${name})
execute_process(COMMAND ${LUPDATE} -locations none ${SOURCES} -ts ${OUT}/${name}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${LUPDATE} failed (${result})")
endif()
file(READ ${OUT}/${name} text)
string(REPLACE ";" "," text "${text}") # not a list separator
string(REGEX MATCHALL "<message[^>]*>" messages "${text}")
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation[^>]*>[^<]*</translation>"
       entries "${text}")
list(LENGTH messages count)
set(faults)
foreach(entry IN LISTS entries)
    if(entry MATCHES "<source>([^<]*)</source>[ \n]*<translation( type=\"[a-z]+\")?>([^<]*)<")
        if(CMAKE_MATCH_2 OR CMAKE_MATCH_3 STREQUAL "")
            string(APPEND faults
                   "\n${CMAKE_MATCH_2} translation \"${CMAKE_MATCH_3}\": ${CMAKE_MATCH_1}")
        endif()
        math(EXPR count "${count} - 1")
    endif()
endforeach()
if(faults OR NOT count EQUAL 0)
    message(FATAL_ERROR "${TS} is not up to date with the sources (lupdate; ${count} entries of "
                        "another form):${faults}")
endif()
message("ok   ${TS}")
