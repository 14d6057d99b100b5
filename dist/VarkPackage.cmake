# The Debian package (cpack -G DEB in the release tree, or scripts/package).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vark-p)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Mirvanta)
set(CPACK_PACKAGE_CONTACT ${VARK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds our private libraries inside the package itself, through the
# programs' RUNPATHs, so they need no shlibs file.
# The demo recorder speaks its records with espeak-ng; without it they are synthetic.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "espeak-ng, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop manager for pocket digital voice recorders")
# The long description; CPack puts the summary above it and indents every line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Sound Manager Varke P shows a plugged-in recorder's state (serial number,
firmware, clock, memory, battery, records), plays its records with noise
reduction, gain control, speech search and variable speed, copies them to WAV
files, signs the exported files and verifies them later, and edits the
recorder's parameters, clock and PIN.

The package also holds vark-cli, a command-line front end for scripts,
vark-audio, a sound-file tool, and vark-recorder, a virtual recorder with
spoken demo records for training and tests.")
include(CPack)
