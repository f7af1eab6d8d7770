# The Debian package (scripts/package.sh): CPack's DEB generator over this build's install
# rules, installing under /usr. dpkg-shlibdeps computes Depends from every ELF file in it,
# the program's modules included; the desktop, MIME, icon and manual page databases are
# refreshed by the triggers of the packages that own them, so there are no maintainer scripts.

set(OV_PACKAGE_MAINTAINER "Ombrivault Storage developers <maintainers@ombrivault.org>"
    CACHE STRING "Maintainer field of the Debian package")

# The documentation every Debian package carries: the copyright file and the changelog.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/ombrivault)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog
            ${changelog_gz}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
install(FILES debian/copyright ${changelog_gz} DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrivault)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ombrivault Storage developers")
set(CPACK_PACKAGE_CONTACT ${OV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypted storage for passwords, notes, pictures and files")
# The summary is the first line of Description, this the rest.
set(CPACK_PACKAGE_DESCRIPTION "Ombrivault Storage keeps your secrets in files locked by a password of their
own, which is never written anywhere: passwords documents with web, e-mail and
other accounts, encrypted text notes, and encrypted storages that hold folders
of pictures, PDF documents, files, notes and accounts. The files are the same
as those of the program's Windows edition.
.
The desktop program has a screen lock, clears copied passwords from the
clipboard and includes a private web browser. The command-line tool
ombrivault-cli reads, writes and checks the same files for scripts and backups.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${OV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ombrivault.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the icon engine for our SVG icons as a plugin, which the library scan cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
