# What a system install and the Debian package hold beyond the programs and the shell
# integration: the manual pages, the software centre's metadata and the package's own papers.
# `scripts/package.sh` builds the package from here with CPack.

# The day the version in project() was released; the software centre and the changelog show it.
set(QM_RELEASE_DATE 2026-12-06)
set(QM_HOMEPAGE https://github.com/quellmark/quellmark)
set(QM_MAINTAINER "Quellmark developers <quellmark@users.noreply.github.com>")
set(QM_APPSTREAM_ID io.github.quellmark.Quellmark)

# The release day as the changelog writes it, and as the time the generated manual page shows.
execute_process(COMMAND date -u -R -d "${QM_RELEASE_DATE} 12:00" OUTPUT_VARIABLE QM_RELEASE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u +%s -d "${QM_RELEASE_DATE} 12:00" OUTPUT_VARIABLE QM_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(QM_PACKAGE_OUT ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${QM_PACKAGE_OUT})

# Debian wants its manual pages and changelogs compressed, and the same bytes from every build:
# no name and no time stamp in the gzip header.
function(qm_gzip source target)
  add_custom_command(
    OUTPUT ${target}
    COMMAND gzip -9 -n -c ${source} > ${target}
    DEPENDS ${source}
    VERBATIM)
endfunction()

# ---- Manual pages. quellmark-cli(1) is made from the program's own --help and --version, so
# ---- the page and the options cannot drift apart; the include file adds what --help leaves out.
find_program(QM_HELP2MAN help2man)
set(QM_MAN_PAGES ${QM_PACKAGE_OUT}/quellmark.1.gz)
configure_file(${PROJECT_SOURCE_DIR}/man/quellmark.1.in ${QM_PACKAGE_OUT}/quellmark.1 @ONLY)
qm_gzip(${QM_PACKAGE_OUT}/quellmark.1 ${QM_PACKAGE_OUT}/quellmark.1.gz)
if(QM_HELP2MAN)
  add_custom_command(
    OUTPUT ${QM_PACKAGE_OUT}/quellmark-cli.1
    COMMAND
      ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QM_RELEASE_EPOCH} ${QM_HELP2MAN} --no-info
      --section=1 "--manual=User Commands"
      "--name=cut a file into numbered parts and put them back together"
      --include=${PROJECT_SOURCE_DIR}/man/quellmark-cli.h2m
      --output=${QM_PACKAGE_OUT}/quellmark-cli.1 $<TARGET_FILE:quellmark-cli>
    DEPENDS quellmark-cli ${PROJECT_SOURCE_DIR}/man/quellmark-cli.h2m
    VERBATIM)
  qm_gzip(${QM_PACKAGE_OUT}/quellmark-cli.1 ${QM_PACKAGE_OUT}/quellmark-cli.1.gz)
  list(APPEND QM_MAN_PAGES ${QM_PACKAGE_OUT}/quellmark-cli.1.gz)
else()
  message(WARNING "help2man not found: no manual page for quellmark-cli (scripts/setup.sh "
                  "installs it)")
endif()

# ---- The software centre's description of the program, and the package's papers.
configure_file(${PROJECT_SOURCE_DIR}/resources/quellmark.metainfo.xml.in
               ${QM_PACKAGE_OUT}/${QM_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${QM_PACKAGE_OUT}/changelog @ONLY)
qm_gzip(${QM_PACKAGE_OUT}/changelog ${QM_PACKAGE_OUT}/changelog.gz)
add_custom_target(qm_papers ALL DEPENDS ${QM_MAN_PAGES} ${QM_PACKAGE_OUT}/changelog.gz)

install(FILES ${QM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QM_PACKAGE_OUT}/${QM_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QM_PACKAGE_OUT}/changelog.gz packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quellmark)
# Lists the help document in the system's documentation index (doc-base's trigger reads it).
install(FILES packaging/quellmark.doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base
        RENAME quellmark)

# ---- The Debian package. Its dependencies are what dpkg-shlibdeps finds the programs need; the
# ---- MIME and desktop databases are refreshed by the triggers of the packages that own them,
# ---- so the package brings no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellmark)
set(CPACK_PACKAGE_VENDOR "Quellmark developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file splitter and joiner")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quellmark cuts one large file into numbered parts of a chosen size (NAME.001,
NAME.002, ...), writes a small data file (NAME.qkd) and, on request, a
self-joining batch file (NAME.bat) beside them, and puts such a part set back
together.
.
The package holds the desktop program, quellmark, and the command-line
program, quellmark-cli, which runs the very same steps in a terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QM_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders as Debian has them, whatever the umask of the one who builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
