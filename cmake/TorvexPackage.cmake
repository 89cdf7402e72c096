# The Debian package, made by CPack from the install rules of this build:
# cpack --config <build>/CPackConfig.cmake writes torvex_<version>_amd64.deb.
if(NOT TORVEX_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "resources/changelog's newest entry is ${TORVEX_CHANGELOG_VERSION}, the project is "
                      "${PROJECT_VERSION}: give the release an entry in the changelog")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quorin <quorin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Internet toolbox: site mirror, page getter, FTP client, HTTP server")
# The extended description of the control file, below the summary.
set(CPACK_PACKAGE_DESCRIPTION
    "Torvex is a desktop Internet toolbox for one user. Its main window starts
every tool, each on a thread of its own: a Crawler that mirrors a web site
with four parallel picture downloads, a Page getter for one URL (directly or
through an HTTP proxy), an FTP client, a small HTTP server with listing pages
and a request log, and boxes with system information. The window texts are
Croatian; settings live in TORVEX.INI in the working directory.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TORVEX_HOMEPAGE})
# The run-time dependencies are what dpkg-shlibdeps finds the binary needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
