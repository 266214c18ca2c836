# The documents a Debian package carries besides the programs: the copyright file (the LICENSE in
# Debian's machine-readable form), the changelog and a manual page for each program. Included
# from Install.cmake, which sets recorder_docdir and recorder_programs.

set(recorder_package_docs ${CMAKE_BINARY_DIR}/package-docs)
file(MAKE_DIRECTORY ${recorder_package_docs}/man)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/packaging/changelog)

# Copyright: holder and licence text both come from LICENSE, so the two never disagree.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
if(NOT license_text MATCHES "Copyright \\(c\\) ([^\n]+)")
    message(FATAL_ERROR "LICENSE has no line \"Copyright (c) YEAR HOLDER\"")
endif()
set(copyright_holder "${CMAKE_MATCH_1}")
string(FIND "${license_text}" "Permission is hereby granted" license_body_at)
if(license_body_at LESS 0)
    message(FATAL_ERROR "LICENSE holds no MIT permission notice")
endif()
string(SUBSTRING "${license_text}" ${license_body_at} -1 license_body)
string(STRIP "${license_body}" license_body)
# A licence text in the copyright file is indented by one space, its empty lines written " .".
string(REPLACE "\n\n" "\n.\n" license_body "${license_body}")
string(REPLACE "\n" "\n " license_body "${license_body}")
file(WRITE ${recorder_package_docs}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: paperless-recorder\n"
     "\n"
     "Files: *\n"
     "Copyright: ${copyright_holder}\n"
     "License: Expat\n"
     " ${license_body}\n")
install(FILES ${recorder_package_docs}/copyright DESTINATION ${recorder_docdir})

# Changelog: its newest entry must be this version, or the package would describe another.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^paperless-recorder \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with an entry for version "
                        "${PROJECT_VERSION}: ${changelog_head}")
endif()
# gzip -n leaves out the name and time stamp, so that the same changelog packs to the same bytes.
add_custom_command(
    OUTPUT ${recorder_package_docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/changelog
            ${recorder_package_docs}/changelog
    COMMAND gzip -9nf ${recorder_package_docs}/changelog
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
    COMMENT "Compressing the changelog")
set(recorder_package_doc_files ${recorder_package_docs}/changelog.gz)
install(FILES ${recorder_package_docs}/changelog.gz DESTINATION ${recorder_docdir})

# Manual pages, made from each program's --help and --version at build time so that they say what
# the programs say. Run without a display: the program answers these before it needs one.
find_program(HELP2MAN_EXECUTABLE help2man)
# Not for the sanitizer and fuzzing builds, which are never packaged.
if(HELP2MAN_EXECUTABLE AND NOT CMAKE_CROSSCOMPILING AND NOT RECORDER_SANITIZE AND NOT RECORDER_FUZZ)
    set(recorder_man_pages_default ON)
else()
    set(recorder_man_pages_default OFF)
endif()
# scripts/package.sh asks for them, so that a build dir configured before help2man was installed
# still gets them.
option(RECORDER_MAN_PAGES "Make manual pages from the programs' --help (needs help2man)"
       ${recorder_man_pages_default})
set(paperless-recorder_manual_name "review paperless recorder data files and monitor an instrument")
set(paperless-recorder-tool_manual_name "paperless recorder data files from the command line")
set(paperless-recorder-sim_manual_name "simulated paperless recorder on a pseudo-terminal")
if(RECORDER_MAN_PAGES)
    if(NOT HELP2MAN_EXECUTABLE)
        message(FATAL_ERROR "RECORDER_MAN_PAGES needs help2man (scripts/install-deps.sh with "
                            "WITH_PACKAGING=1 installs it)")
    endif()
    foreach(program ${recorder_programs})
        set(page ${recorder_package_docs}/man/${program}.1)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                    --unset=QT_QPA_PLATFORM ${HELP2MAN_EXECUTABLE} --no-info --section=1
                    "--name=${${program}_manual_name}" --output=${page} $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${program}
            COMMENT "Writing the manual page of ${program}")
        list(APPEND recorder_package_doc_files ${page}.gz)
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
else()
    message(STATUS "No manual pages: help2man not found or RECORDER_MAN_PAGES off")
endif()
add_custom_target(package_docs ALL DEPENDS ${recorder_package_doc_files})
