# Installing Morvane, and its Debian package: `cpack -G DEB` in a build folder makes
# morvane_<version>_<arch>.deb, installed under /usr whatever the folder's install prefix.

# GNUInstallDirs would name the documents' folder after the project (Morvane); Debian's is
# the package's, in lower case.
set(MORVANE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/morvane)

install(TARGETS morvane morvane-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${MORVANE_DOCDIR})
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "The Morvane developers")
set(CPACK_PACKAGE_CONTACT
    "The Morvane developers <maintainers@users.noreply.c-seed-08a67320.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of video files into Flash Video (FLV) files")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME morvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis above comes first; each line here becomes a line of the extended description.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Morvane converts video files into Flash Video (FLV) files with the FFmpeg\n"
    "libraries: FLV1 video and MP3 audio, at one of four bit rates or your own,\n"
    "at the source's size, scaled, or at any size from 50 to 1024 pixels, with an\n"
    "optional PNG watermark drawn over every frame.\n"
    "\n"
    "It comes as a window (morvane) that converts a file or every file of a folder,\n"
    "and as a command-line converter (morvane-batch) for scripts and for converting\n"
    "many files on many machines.")

include(CPack)
