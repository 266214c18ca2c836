# What `cmake --install` puts under the prefix, and the Debian package CPack builds from it.
include(GNUInstallDirs)

set(recorder_programs paperless-recorder-tool paperless-recorder-sim)
if(RECORDER_BUILD_APP)
    list(PREPEND recorder_programs paperless-recorder)
endif()
install(TARGETS ${recorder_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The tool's drawing commands, a helper program the tool runs (tools/cli/CMakeLists.txt).
if(TARGET paperless-recorder-tool-window)
    install(TARGETS paperless-recorder-tool-window
            RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/paperless-recorder)
endif()

# The installed programs recognise their installation by this folder: settings and the load log
# then go to the user's configuration directory, never beside the programs.
install(FILES demo/demo.bin DESTINATION ${CMAKE_INSTALL_DATADIR}/paperless-recorder)
install(FILES packaging/paperless-recorder.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/paperless-recorder.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/paperless-recorder.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# Debian looks for the package's documents, copyright and changelog under the package's own
# name, not the project's.
set(recorder_docdir ${CMAKE_INSTALL_DATADIR}/doc/paperless-recorder)
install(FILES README.md DESTINATION ${recorder_docdir})
include(cmake/PackageDocs.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME paperless-recorder)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Paperless recorder maintainers <maintainers@paperless-recorder.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Reviews paperless recorder data files and monitors an instrument live")
# Lines of at most 80 characters: Debian's tools show the description as it stands.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Opens the data files of a multi-channel paperless recorder as a paged data\n\
sheet and a trend chart, polls one instrument live over Modbus RTU on a serial\n\
line, saves and prints the results. Includes a command-line tool for scripting\n\
and an instrument simulator.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Run-time dependencies come from the programs' own links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Except Qt's SVG plugins, which draw the tool bar's icons: plugins are loaded at run time, so
# no link names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The unit texts are Chinese: a font that has them, and the GBK converter glibc ships.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_STRIP_FILES ON)
include(CPack)
