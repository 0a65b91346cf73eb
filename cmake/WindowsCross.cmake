# A Windows build made on another system (the "windows" preset): what windeployqt would
# deploy, which a cross build does not have, and the environment of the tests under Wine.

# Qt's libraries and the plugins the program loads, beside the executables.
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets
        DESTINATION ${CMAKE_INSTALL_BINDIR})
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin
        DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsVistaStylePlugin
        DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

# The compiler's runtime DLLs.
set(mingw_runtime_dirs)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not find ${dll}")
    endif()
    file(REAL_PATH "${found}" real)
    install(FILES "${real}" DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${dll})
    get_filename_component(dir "${found}" DIRECTORY)
    list(APPEND mingw_runtime_dirs "${dir}")
endforeach()
list(REMOVE_DUPLICATES mingw_runtime_dirs)

# The installed DLLs without their symbols.
install(CODE "
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \${dlls} COMMAND_ERROR_IS_FATAL ANY)
")

# Qt's own Japanese texts (Debian's qt6-translations-l10n), looked up beside the executable;
# for the tests in the build folder too.
find_file(PORONBO_QTBASE_JA qtbase_ja.qm PATHS /usr/share/qt6/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT PORONBO_QTBASE_JA)
    message(FATAL_ERROR "No qtbase_ja.qm: install Debian's qt6-translations-l10n")
endif()
install(FILES ${PORONBO_QTBASE_JA} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)
file(COPY ${PORONBO_QTBASE_JA} DESTINATION ${PROJECT_BINARY_DIR}/tests/translations)


# The tests' Wine runs as a Japanese Windows (ANSI code page 932): Wine takes its locale
# from the Linux one, made here from glibc's sources (Debian's locales) when the system
# has none.
set(locale_dir ${PROJECT_BINARY_DIR}/locale)
if(NOT EXISTS ${locale_dir}/ja_JP.UTF-8/LC_CTYPE)
    file(MAKE_DIRECTORY ${locale_dir}) # localedef makes only the last folder
    execute_process(COMMAND localedef -i ja_JP -f UTF-8 ${locale_dir}/ja_JP.UTF-8
                    RESULT_VARIABLE failed OUTPUT_QUIET)
    if(failed)
        message(FATAL_ERROR "localedef could not make ja_JP.UTF-8: install Debian's locales")
    endif()
endif()

# Where the tests' Wine finds the DLLs (scripts/wine-run), and its prefix of its own in the
# build folder.
get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin_dir "${qt_core_dll}" DIRECTORY)
list(JOIN mingw_runtime_dirs ":" dll_path)
set(PORONBO_TEST_ENVIRONMENT "LANG=ja_JP.UTF-8" "LOCPATH=${locale_dir}" "LC_ALL="
                             "WINEPREFIX=${PROJECT_BINARY_DIR}/wine"
                             "PORONBO_WINE_DLL_PATH=${dll_path}:${qt_bin_dir}")
# The same for scripts (scripts/screenshot-windows): . build-windows/wine-env.sh
set(lines "# The tests' Wine environment; run programs with scripts/wine-run.\n")
foreach(assignment IN LISTS PORONBO_TEST_ENVIRONMENT)
    string(REGEX REPLACE "^([^=]*)=(.*)$" "export \\1='\\2'\n" line "${assignment}")
    string(APPEND lines "${line}")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/wine-env.sh "${lines}")
