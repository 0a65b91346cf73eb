cmake_minimum_required(VERSION 3.21)
# Builds the DEB into a folder of its own and runs lintian on it: any error or warning
# fails. Information tags are shown, not counted.
# -DCPACK=<cpack> -DLINTIAN=<lintian> -DCONFIG=<CPackConfig.cmake> -DOUT=<work folder>
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -G DEB -B ${OUT}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()
file(GLOB debs ${OUT}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "cpack made ${count} DEBs in ${OUT}")
endif()
# A Japanese font and Qt's translations are recommended, or the window shows boxes.
execute_process(COMMAND dpkg-deb --field ${debs} Recommends OUTPUT_VARIABLE recommends
                RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT recommends STREQUAL
                         "fonts-noto-cjk | fonts-ipafont-gothic, qt6-translations-l10n")
    message(FATAL_ERROR "${debs} recommends \"${recommends}\" (${result}), not a Japanese font "
                        "(fonts-noto-cjk | fonts-ipafont-gothic) and qt6-translations-l10n")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning --display-info ${debs}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lintian finds errors or warnings in ${debs} (${result})")
endif()
message("ok   ${debs}")
