# The Debian package (cpack -G DEB; tools/package.sh builds it) and the files that only an
# installed copy needs: the manual page, the AppStream entry, the package's changelog and
# copyright notice, the example of the computer's defaults, and the settings folder that every
# user of the computer shares.

set(VELMORA_PACKAGE_NAME dazuviz-velmora)
set(VELMORA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${VELMORA_PACKAGE_NAME})

# The release date comes from the AppStream entry's release of this version, so that the
# package's changelog and the software centre tell the same release.
file(READ ${CMAKE_SOURCE_DIR}/packaging/${VELMORA_PACKAGE_NAME}.metainfo.xml VELMORA_METAINFO)
if(VELMORA_METAINFO MATCHES "<release version=\"${PROJECT_VERSION}\" date=\"([0-9-]+)\"")
    set(VELMORA_RELEASE_DATE ${CMAKE_MATCH_1})
else()
    message(WARNING "The AppStream entry has no release ${PROJECT_VERSION}")
    string(TIMESTAMP VELMORA_RELEASE_DATE "%Y-%m-%d" UTC)
endif()

# Debian wants manual pages and changelogs compressed, without a time stamp in the gzip header.
find_program(VELMORA_GZIP gzip REQUIRED)
set(VELMORA_MAN_PAGE ${CMAKE_BINARY_DIR}/packaging/velmora.1.gz)
set(VELMORA_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
string(REPLACE "-" ";" VELMORA_DATE_PARTS ${VELMORA_RELEASE_DATE})
list(GET VELMORA_DATE_PARTS 0 VELMORA_YEAR)
list(GET VELMORA_DATE_PARTS 1 VELMORA_MONTH)
list(GET VELMORA_DATE_PARTS 2 VELMORA_DAY)
# RFC 5322 date of the changelog's trailer line, at noon UTC of the release day.
execute_process(COMMAND date -u -R -d "${VELMORA_RELEASE_DATE} 12:00:00"
                OUTPUT_VARIABLE VELMORA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
set(VELMORA_MAINTAINER "Dazuviz Velmora developers <velmora@dazuviz.example>")
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog
               @ONLY)
add_custom_command(OUTPUT ${VELMORA_MAN_PAGE}
                   COMMAND ${VELMORA_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/velmora.1
                           > ${VELMORA_MAN_PAGE}
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/velmora.1 VERBATIM)
add_custom_command(OUTPUT ${VELMORA_CHANGELOG}
                   COMMAND ${VELMORA_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/packaging/changelog
                           > ${VELMORA_CHANGELOG}
                   DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(velmora_package_files ALL DEPENDS ${VELMORA_MAN_PAGE} ${VELMORA_CHANGELOG})

install(FILES ${VELMORA_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/${VELMORA_PACKAGE_NAME}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/copyright ${VELMORA_CHANGELOG} DESTINATION ${VELMORA_DOC_DIR})
# The relay between subnets runs on the router, not here: an example for its administrator.
install(FILES packaging/velmora-bcrelay.service DESTINATION ${VELMORA_DOC_DIR}/examples)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${VELMORA_PACKAGE_NAME})
# The administrator's commented example of the computer's defaults for every user; the
# program reads defaults.ini beside it (see the manual page). A file in /etc is a conffile.
install(FILES packaging/defaults.ini.example
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/${VELMORA_PACKAGE_NAME})

set(CPACK_PACKAGE_NAME ${VELMORA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dazuviz")
set(CPACK_PACKAGE_CONTACT ${VELMORA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office in/out board and messenger for the local network")
set(CPACK_STRIP_FILES ON)
# The staging install happens under DESTDIR with the prefix /usr, so that the one absolute
# folder (/var/lib) lands in the package and not on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME ${VELMORA_PACKAGE_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELMORA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.dazuviz.example/")
# Depends: from dpkg-shlibdeps, for the program and the module alike.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The summary above is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Every person in an office runs one copy. Each copy broadcasts its user's
status (In, Out, Busy, or a remark such as 'In a meeting') on the local
network and shows everybody's latest status in one colour-coded list.
Copies also send each other messages and keep a shared discussion. There
is no server: all copies are equal peers on UDP port 55555.
.
A running copy can be driven from scripts (velmora --status out), for
example when the screen locks.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postrm
                                       ${CMAKE_SOURCE_DIR}/packaging/conffiles)
# The shared settings folder, sticky and writable by everybody: each user's copy saves the one
# file of the computer there (see the README).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/PackageSharedFolder.cmake)
include(CPack)
