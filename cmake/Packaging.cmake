# Installation layout and the Debian package (scripts/package builds it with CPack).
#
# The program lives where only root writes, /opt/trelvane/bin: no operator can replace it or
# put anything beside it that it or Qt would load (a qt.conf, a plugin folder). The station's
# files (configuration, enroll password, activity logs, ping script, COM<n> links and, by
# default, the templates) live in its data folder /var/opt/trelvane, which the menu entry
# passes with --folder and the package's postinst makes for the system group `trelvane`
# (2770: the group's members share it, nobody else enters). The simulated unit goes to
# /usr/bin, the menu entry, icon, manual pages and AppStream data to the desktop's places.
# Not a cache entry: the menu entry, the maintainer scripts and the manual page name it too.
set(TRELVANE_PROGRAM_FOLDER /opt/trelvane/bin)
set(TRELVANE_PACKAGE_RELEASE 2 CACHE STRING "Debian revision of the package")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(pkgsrc ${CMAKE_SOURCE_DIR}/packaging)
set(pkgdoc /usr/share/doc/trelvane-enrollment)

install(TARGETS TrelvaneEnrollment RUNTIME DESTINATION ${TRELVANE_PROGRAM_FOLDER})
install(TARGETS trelvane-unit RUNTIME DESTINATION /usr/bin)
install(TARGETS trelvane-station RUNTIME DESTINATION /usr/bin)
install(FILES ${pkgsrc}/trelvane-enrollment.desktop DESTINATION /usr/share/applications)
install(FILES ${pkgsrc}/trelvane-enrollment.svg
        DESTINATION /usr/share/icons/hicolor/scalable/apps)
install(FILES ${pkgsrc}/copyright DESTINATION ${pkgdoc})
install(FILES ${pkgsrc}/trelvane-enrollment.metainfo.xml DESTINATION /usr/share/metainfo)
install(FILES ${pkgsrc}/examples/70-trelvane.rules ${pkgsrc}/examples/trelvane-read-mode.desktop
        DESTINATION ${pkgdoc}/examples)
install(FILES ${pkgsrc}/lintian-overrides DESTINATION /usr/share/lintian/overrides
        RENAME trelvane-enrollment)

# Debian wants the changelog and the manual page compressed, reproducibly (no name, no time).
find_program(GZIP gzip REQUIRED)
set(pkgbuild ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkgbuild})
function(trelvane_install_compressed name destination)
    add_custom_command(OUTPUT ${pkgbuild}/${name}.gz
        COMMAND ${GZIP} -9nc ${pkgsrc}/${name} > ${pkgbuild}/${name}.gz
        DEPENDS ${pkgsrc}/${name} VERBATIM)
    install(FILES ${pkgbuild}/${name}.gz DESTINATION ${destination})
endfunction()
trelvane_install_compressed(changelog.Debian ${pkgdoc})
trelvane_install_compressed(trelvane-unit.1 /usr/share/man/man1)
trelvane_install_compressed(TrelvaneEnrollment.1 /usr/share/man/man1)
trelvane_install_compressed(trelvane-station.1 /usr/share/man/man1)
set(compressed ${pkgbuild}/changelog.Debian.gz ${pkgbuild}/trelvane-unit.1.gz
    ${pkgbuild}/TrelvaneEnrollment.1.gz ${pkgbuild}/trelvane-station.1.gz)
add_custom_target(package_documents ALL DEPENDS ${compressed})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trelvane-enrollment)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Trelvane")
set(CPACK_PACKAGE_CONTACT "Trelvane integration team <integration@trelvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "enrollment station for networked Trelvane fingerprint units")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TRELVANE_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libqxcb.so, the window's X11 platform plugin, is part of libqt6gui6 in Debian 12, which the
# shared-library dependencies bring; libqt6gui6's recommended qt6-qpa-plugins (VNC, touch) and
# platform theme are not needed to open the window. The ping test runs ping in a terminal.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "iputils-ping, xterm | x-terminal-emulator")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://trelvane.invalid/")
# CPack puts the summary first and turns the empty line into the paragraph separator.
file(READ ${pkgsrc}/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkgsrc}/preinst ${pkgsrc}/postinst ${pkgsrc}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
