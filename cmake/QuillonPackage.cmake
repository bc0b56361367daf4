# Installed layout and the Debian package (scripts/package builds it with CPack).
#
#   bin/                         quillon, quillon-cli, vessa-sim
#   lib/<arch>/quillon/          libKavoVessadll.so (the package's private library folder)
#   share/quillon/INI            the shipped parameter set (read-only; copied on first write)
#   share/quillon/scenarios      the virtual board's scenarios
#   share/applications, share/metainfo, share/icons/hicolor/scalable/apps
#   share/man/man1               manual pages generated from --help (QUILLON_MAN_PAGES)
#   share/doc/quillon            copyright, changelog, README.Debian

set(QUILLON_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillon)
set(QUILLON_DATADIR ${CMAKE_INSTALL_DATADIR}/quillon)
# The package's documentation folder is named after the package, not the project.
set(QUILLON_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quillon)

install(TARGETS vessa-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program quillon quillon-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(TARGETS KavoVessadll LIBRARY DESTINATION ${QUILLON_PRIVATE_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/INI DESTINATION ${QUILLON_DATADIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/scenarios DESTINATION ${QUILLON_DATADIR}
        FILES_MATCHING PATTERN "*.ini")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/io.github.kavo.quillon.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/copyright ${packaging}/README.Debian
        DESTINATION ${QUILLON_DOCDIR})

# Debian wants the changelog and the manual pages compressed without a time stamp.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP_PROGRAM} -9nc ${packaging}/changelog > ${changelog_gz}
    DEPENDS ${packaging}/changelog VERBATIM)
add_custom_target(quillon_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${QUILLON_DOCDIR})

option(QUILLON_MAN_PAGES "Generate the manual pages from --help (needs help2man)" OFF)
if(QUILLON_MAN_PAGES)
    find_program(HELP2MAN_PROGRAM help2man REQUIRED)
    set(man_pages)
    foreach(entry "quillon|the Vessa programming station's operator window"
                  "quillon-cli|the Vessa programming station without a window"
                  "vessa-sim|the virtual Vessa download board")
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 program)
        list(GET entry 1 summary)
        if(NOT TARGET ${program})
            continue()
        endif()
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr
                    --version-string=${PROJECT_VERSION} --name=${summary}
                    --output=${page} $<TARGET_FILE:${program}>
            COMMAND ${GZIP_PROGRAM} -9nf ${page}
            DEPENDS ${program} VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(quillon_man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon developers")
set(CPACK_PACKAGE_CONTACT "Quillon developers <developers@quillon.dev>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "programming station for EC and SPI flash through the Vessa board")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon identifies an embedded controller or a SPI flash part through the
Vessa USB download board and erases, blank-checks, programs, verifies and
reads its flash. One Auto button runs the checked steps for series
production. The package holds the operator window, quillon-cli for scripts
and production lines, and vessa-sim, a virtual board for benches without
hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private library folder holds the driver library, which no other package links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/${QUILLON_PRIVATE_LIBDIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
