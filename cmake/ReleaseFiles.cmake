# What makes an install a release: the license and notices, the changelog, the manual
# pages, the icons and the software-centre entry, and the package description. Included
# by the top CMakeLists.txt before CPack.

set(CPACK_PACKAGE_DESCRIPTION "\
A dummy file is a 40-byte placeholder written in place of a real file. It is
named after its source, and records the source's size and modified time and
how to turn the dummy's name back into the source's name. Drop files on the
window (or open them with it), press Create, and each gets its dummy as a new
file; sources are only read and nothing existing is overwritten.

poronbo-info reads dummies back: it prints what each one stands for and, with
--check, whether its source is still there with the same size and time.")

set(release_dir ${PROJECT_BINARY_DIR}/release)
if(UNIX AND NOT APPLE)
    find_program(PORONBO_GZIP gzip REQUIRED)
    find_program(PORONBO_DATE date REQUIRED)
    add_custom_command(OUTPUT ${release_dir}/changelog.gz
                       COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/CHANGES.md
                               -DOUT=${release_dir}/changelog.gz -DGZIP=${PORONBO_GZIP}
                               -DDATE=${PORONBO_DATE} -DPACKAGE=${CPACK_PACKAGE_NAME}
                               "-DMAINTAINER=${CPACK_PACKAGE_CONTACT}"
                               -P ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
                       DEPENDS ${PROJECT_SOURCE_DIR}/CHANGES.md
                               ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
                       VERBATIM)
    set(compressed ${release_dir}/changelog.gz)
    foreach(page IN ITEMS poronbo.1 poronbo-info.1)
        add_custom_command(OUTPUT ${release_dir}/${page}.gz
                           COMMAND ${CMAKE_COMMAND} -DGZIP=${PORONBO_GZIP}
                                   -DIN=${PROJECT_SOURCE_DIR}/man/${page}
                                   -DOUT=${release_dir}/${page}.gz
                                   -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
                           DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
                                   ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
                           VERBATIM)
        list(APPEND compressed ${release_dir}/${page}.gz)
    endforeach()
    add_custom_target(release_files ALL DEPENDS ${compressed})

    install(FILES packaging/copyright ${release_dir}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${release_dir}/poronbo.1.gz ${release_dir}/poronbo-info.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES src/ui/icons/poronbo.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size IN ITEMS 16 24 32 48 64 128 256)
        install(FILES src/ui/icons/poronbo-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME poronbo.png)
    endforeach()
    install(FILES src/ui/poronbo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
elseif(WIN32 OR APPLE)
    # The ZIP and the disk image ship Qt's libraries: the LGPL asks for this notice.
    configure_file(packaging/Qt-LGPL-NOTICE.txt.in ${release_dir}/Qt-LGPL-NOTICE.txt @ONLY)
    install(FILES LICENSE ${release_dir}/Qt-LGPL-NOTICE.txt packaging/LGPL-3.txt
                  packaging/GPL-3.txt
            DESTINATION .)
endif()
