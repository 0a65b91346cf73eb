cmake_minimum_required(VERSION 3.21)
# Validates the desktop entry and checks that it passes files on and claims no file
# type (the tool must never become a default handler).
# -DVALIDATE=<desktop-file-validate> -DENTRY=<poronbo.desktop>
execute_process(COMMAND ${VALIDATE} ${ENTRY} RESULT_VARIABLE result OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "${VALIDATE} rejects ${ENTRY} (${result}):\n${output}")
endif()
file(STRINGS ${ENTRY} lines)
if(NOT "Exec=poronbo %F" IN_LIST lines)
    message(FATAL_ERROR "${ENTRY}: Exec must be \"poronbo %F\"")
endif()
foreach(line IN LISTS lines)
    if(line MATCHES "^MimeType")
        message(FATAL_ERROR "${ENTRY} claims file types: ${line}")
    endif()
endforeach()
message("ok   ${ENTRY}")
