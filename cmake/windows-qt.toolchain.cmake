# Toolchain of the "windows" preset: Qt for MinGW-w64 as scripts/windows-qt builds it (or
# the Qt that the PORONBO_WINDOWS_QT environment variable names), chain-loading the MinGW
# toolchain beside this file. Qt's own toolchain file is needed: with only a
# CMAKE_PREFIX_PATH the find root path would hide Qt's packages.
if(NOT DEFINED ENV{PORONBO_WINDOWS_QT})
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-qt --print
                    OUTPUT_VARIABLE qt_dir OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    set(ENV{PORONBO_WINDOWS_QT} "${qt_dir}")
endif()
if(NOT EXISTS "$ENV{PORONBO_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "No Qt for MinGW in $ENV{PORONBO_WINDOWS_QT}: run scripts/windows-qt")
endif()
set(QT_CHAINLOAD_TOOLCHAIN_FILE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-posix.cmake)
include("$ENV{PORONBO_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
