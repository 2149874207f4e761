# A Debian package of the libraries, headers, CMake and pkg-config files and the command:
# `cpack -G DEB` in a Release build folder writes orvane_<version>_<arch>.deb. The shared library
# dependencies are read from the binaries (dpkg-shlibdeps); the painter needs one of the fonts.
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "orvane")
set(CPACK_PACKAGE_CONTACT "orvane developers <orvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Swim-lane business-process diagrams to PNG, SVG, PDF, BPMN 2.0 and drawio")
set(CPACK_PACKAGE_DESCRIPTION
    "orvane draws swim-lane process maps (pools, lanes, BPMN events, activities, gateways and \
labelled connections) from a YAML description or from C++, and exports the same diagram as \
BPMN 2.0 XML and drawio XML. The package holds the orvane command, the shared libraries, their \
headers and CMake and pkg-config files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-core | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-noto-color-emoji")
set(CPACK_STRIP_FILES ON)
include(CPack)
