# The Debian package of boxquill-cli (CPack): the program, its man page and bash completion,
# and in /usr/share/doc/boxquill-cli/ the README, the licence, the Debian copyright file and
# a changelog. Native builds only; `make dist` runs CPack.
include(GNUInstallDirs)
# CPack installs what `make dist` has just built; without this it would build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(BOXQUILL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/boxquill-cli)
set(BOXQUILL_MAINTAINER "The Boxquill developers <boxquill@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

# Debian wants the changelog compressed without a timestamp, so that builds are reproducible.
string(TIMESTAMP BOXQUILL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/packaging/changelog
            > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(boxquill-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

install(FILES README.md LICENSE packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${BOXQUILL_DOC_DIR} COMPONENT cli)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME boxquill-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Boxquill developers")
set(CPACK_PACKAGE_CONTACT ${BOXQUILL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command-line editor of JPEG 2000 metadata boxes")
# The extended description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "boxquill-cli lists, checks and edits the boxes of JP2 and JPX files: XML,
label, association, XMP, GeoJP2 and GMLJP2 boxes, the resolution and the
ICC profile. The image data is never decoded or changed, and every save
replaces the file in one step.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BOXQUILL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/boxquill")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};cli;/")
include(CPack)
