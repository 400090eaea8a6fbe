# The Debian package: `cpack -G DEB` in a build folder (or `cmake --workflow --preset package`) makes
# varnel_<version>_<arch>.deb from what `cmake --install` installs, under /usr.
set(VARNEL_MAINTAINER "kobu <kobu@users.noreply.github.com>"
    CACHE STRING "Maintainer named in the package's control data")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR kobu)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "peer-to-peer mail for a small office network")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnel sends short text mail between the machines of one office network, without a server.\n"
    "Every running copy answers mail with a delivery receipt and, once it has been read, with a\n"
    "read receipt, so the send box shows whether each mail was delivered and read. Mail travels as\n"
    "UDP datagrams on port 20595. The window and its messages are in Japanese.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "${VARNEL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build folder; the package carries the stripped program.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/kobu/varnel)
# The libraries the program links come from dpkg-shlibdeps. The window is Japanese throughout: it
# needs a font with Japanese glyphs, which no library asks for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")

include(CPack)
