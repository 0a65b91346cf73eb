cmake_minimum_required(VERSION 3.21)
# Validates the AppStream metainfo file and checks that it names the desktop entry and
# that it and the changelog have a release for the project's version.
# -DAPPSTREAMCLI=<appstreamcli> -DMETAINFO=<file> -DDESKTOP=<poronbo.desktop>
# -DCHANGES=<CHANGES.md> -DVERSION=<x.y.z>
# The id is kept as the desktop entry's name, not a reverse domain name (the project has
# no domain), so the validator's note about that is shown as information only.
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --override=cid-desktopapp-is-not-rdns=info
                        ${METAINFO}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${APPSTREAMCLI} rejects ${METAINFO} (${result})")
endif()
file(READ ${METAINFO} text)
get_filename_component(entry ${DESKTOP} NAME)
get_filename_component(id ${DESKTOP} NAME_WLE)
foreach(expected IN ITEMS "<id>${id}</id>" "<launchable type=\"desktop-id\">${entry}</launchable>")
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${METAINFO} lacks ${expected}")
    endif()
endforeach()
# Japanese has no spaces between words: a paragraph broken over lines would show one at
# each break, so each is one line.
string(REGEX MATCHALL "<p xml:lang=\"ja\">[^<]*</p>" japanese "${text}")
if(japanese STREQUAL "")
    message(FATAL_ERROR "${METAINFO} has no Japanese paragraph")
endif()
foreach(paragraph IN LISTS japanese)
    if(paragraph MATCHES "\n")
        message(FATAL_ERROR "${METAINFO}: a Japanese paragraph is broken over lines:\n${paragraph}")
    endif()
endforeach()
if(NOT text MATCHES "<release version=\"([^\"]*)\"" OR NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${METAINFO}: the newest release is \"${CMAKE_MATCH_1}\", not ${VERSION}")
endif()
file(STRINGS ${CHANGES} headings REGEX "^## ")
list(GET headings 0 newest)
if(NOT newest MATCHES "^## ${VERSION} ")
    message(FATAL_ERROR "${CHANGES}: the newest entry is \"${newest}\", not ${VERSION}")
endif()
message("ok   ${METAINFO}: ${id}, release ${VERSION}")
