# Where `cmake --install` puts things, and the Debian package built from exactly that
# (`cmake --build BUILD --target package` writes zorbel_<version>_<arch>.deb into BUILD).

include(GNUInstallDirs)
# Debian and the other distributions name the documentation folder after the package, not the
# project (a -DCMAKE_INSTALL_DOCDIR still wins).
if(NOT "$CACHE{CMAKE_INSTALL_DOCDIR}")
    set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/zorbel")
    GNUInstallDirs_get_absolute_install_dir(CMAKE_INSTALL_FULL_DOCDIR CMAKE_INSTALL_DOCDIR DOCDIR)
endif()

# zorbel_install_gzipped(FILE DESTINATION): FILE compressed at build time the way Debian wants
# manual pages and changelogs (gzip -9n: best compression, no name or time stamp, so the same
# sources give the same bytes), installed as FILE.gz into DESTINATION.
function(zorbel_install_gzipped file destination)
    get_filename_component(name "${file}" NAME)
    set(compressed "${CMAKE_CURRENT_BINARY_DIR}/${name}.gz")
    add_custom_command(OUTPUT "${compressed}" COMMAND gzip -9nc "${file}" > "${compressed}"
                       DEPENDS "${file}" VERBATIM)
    string(MAKE_C_IDENTIFIER "gzip_${name}" target)
    add_custom_target(${target} ALL DEPENDS "${compressed}")
    install(FILES "${compressed}" DESTINATION "${destination}")
endfunction()

# The package's changelog names the version it describes first: the project's.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^zorbel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with \"${latest}\", not version ${PROJECT_VERSION}")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
zorbel_install_gzipped(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorbel)
set(CPACK_PACKAGE_VENDOR "Zorbel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "floating ball that turns text, files and speech into events")
set(CPACK_PACKAGE_DESCRIPTION
    "Zorbel is a small glass ball floating on the desktop. Speak to it, drop a file
(PDF, Word, text, picture) or text on it, or paste text: a language model (a
local server, or a cloud provider after consent) or the built-in offline rules
read the dates and times in it, and the events found open in a confirm panel
before they are written to the calendar (a local vdir folder or a CalDAV
server). The interface is in Chinese, or in English outside a Chinese locale.

zorbel-extract does the same on the command line and prints the events as JSON
or iCalendar.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zorbel developers <developers@zorbel.app>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zorbel.app/")
# Libraries come from dpkg-shlibdeps; what is loaded at run time without being linked (OCR
# languages, the speech model, the .doc converter, picture formats, a Chinese font) is
# recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "tesseract-ocr-chi-sim, tesseract-ocr-eng, pocketsphinx-en-us, antiword, \
qt6-image-formats-plugins, fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
