# `cpack -G DEB` in a build directory: the Debian package orv_<version>_<arch>.deb
# with orv, orvd, the desktop entry, icons, metainfo and the systemd unit, as
# `cmake --install` lays them out under /usr. The libraries it needs are
# found by dpkg-shlibdeps (package dpkg-dev). Build it from an optimised
# build (-DCMAKE_BUILD_TYPE=Release): a sanitizer build's package depends on
# the sanitizer libraries too.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORV Telephone")
set(CPACK_PACKAGE_CONTACT "ORV Telephone developers <dev@orv-telephone.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serverless end-to-end encrypted internet telephone")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The summary above is the first line of the Description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ORV Telephone calls, chats and sends files directly between peers over UDP,
with no server in the middle; everything is encrypted end to end. Users are
found by id, address or name through a distributed hash table.
.
This package holds the desktop program orv (Qt 6) and the headless node
orvd with its systemd unit.")
include(CPack)
