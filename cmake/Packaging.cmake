# The Debian package, made by `cpack -G DEB` in a build tree (tools/package.sh does it all):
# vornetad_<version>_<architecture>.deb with both programs, their data, the desktop integration, the man
# pages and the completion. Its library dependencies are read from the binaries by dpkg-shlibdeps.

install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${VORNET_DOC_SUBDIR})

set(CPACK_PACKAGE_NAME vornetad)
set(CPACK_PACKAGE_VENDOR "The VornetAd developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORNET_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "corner banner advert maker for web sites")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME vornetad)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORNET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORNET_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The default text face resolves through Liberation; Qt's platform plugins come with libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# xdg-open hands the preview's links and the tips page to the user's browser; the Wayland platform
# plugin lets the wizard start in a session without X.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "VornetAd makes a corner banner advert for a web site in five steps: pick a
banner template, type up to three styled text lines, set the link and the
title, preview the banner on a sample page, and write it out. It writes a
transparent 256-colour GIF, a style sheet that pins the banner to the page's
top corner, and a one-line code block, into a new page or into existing pages.
.
vornetad-cli runs the same engine without a window, for scripts and CI.")

include(CPack)
