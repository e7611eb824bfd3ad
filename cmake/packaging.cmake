# Installation as a desktop program and the Debian package.
#
#   <bindir>/vedomer                     the launcher that users and the menu run
#   <libexecdir>/vedomer/vedomer         the program itself
#   <datadir>/vedomer/*.conf             the descriptors copied into working folders
#   <datadir>/vedomer/server-roles.sql   the server's clerks and viewers, for its administrator
#   <datadir>/applications/vedomer.desktop, <datadir>/icons/hicolor/*/apps/vedomer.png
#
# The installed launcher finds the program and the descriptors relative to
# its own folder, so the same files work under any prefix (CPack stages them
# in a folder of its own before packing them under /usr).
include(GNUInstallDirs)

set(VEDOMER_INSTALL_EXEDIR ${CMAKE_INSTALL_LIBEXECDIR}/vedomer)
set(VEDOMER_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/vedomer)

install(TARGETS vedomer RUNTIME DESTINATION ${VEDOMER_INSTALL_EXEDIR})
install(FILES conf/settingstab.conf conf/settings.conf conf/settingstab-postgresql.conf
    conf/settings-postgresql.conf DESTINATION ${VEDOMER_INSTALL_DATADIR})
# The administrator's script of the server's clerks and viewers.
install(FILES scripts/server-roles.sql DESTINATION ${VEDOMER_INSTALL_DATADIR})

# The launcher for the installed layout: paths relative to <bindir>.
foreach(dir BINDIR LIBEXECDIR DATADIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        set(vedomer_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
        set(vedomer_${dir} "/prefix/${CMAKE_INSTALL_${dir}}")
    endif()
endforeach()
file(RELATIVE_PATH LAUNCHER_EXE ${vedomer_BINDIR} ${vedomer_LIBEXECDIR}/vedomer/vedomer)
file(RELATIVE_PATH LAUNCHER_CONF ${vedomer_BINDIR} ${vedomer_DATADIR}/vedomer)
configure_file(scripts/vedomer-launcher.in ${CMAKE_CURRENT_BINARY_DIR}/installed/vedomer @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/installed/vedomer DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/vedomer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
    install(FILES resources/hicolor/${size}x${size}/apps/vedomer.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The clerk's guide with its pictures.
install(FILES docs/guide.md docs/filters.png docs/old-penalty.png docs/extract.png DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian package: cpack -G DEB in the build folder gives vedomer_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME vedomer)
set(CPACK_PACKAGE_VENDOR "Ведомер")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "account of servicemen's awards, commendations and penalties")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Ведомер keeps the roster of the servicemen of a military unit and, for each\n"
    "of them, the orders that record penalties, thanks, certificates of merit,\n"
    "distinction badges, state awards and the veteran of military service\n"
    "status, with the documents attached to them. Russian interface; all data\n"
    "in one SQLite file in the user's working folder ~/.local/share/vedomer,\n"
    "which only that user can read.")
set(VEDOMER_PACKAGE_MAINTAINER "Vedomer maintainers <vedomer@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VEDOMER_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries are found by dpkg-shlibdeps; what it cannot see is the SQLite
# driver plugin Qt loads at run time, Qt's Russian translation and the fonts
# that stand in for "Times New Roman" (and one with the emoji it lacks, for
# printing).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, fonts-liberation, fonts-symbola")
# The menu entry and the icon are picked up by the desktop's file triggers
# (desktop-file-utils, hicolor-icon-theme); no maintainer scripts are needed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The install rules and the launcher, checked in a temporary prefix (in the
# ordinary build only).
if(VEDOMER_TESTS AND NOT VEDOMER_SANITIZE)
    enable_testing()
    add_test(NAME tst_launcher
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/tst_launcher.sh ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_COMMAND})
    set_tests_properties(tst_launcher PROPERTIES TIMEOUT 120)
    if(VEDOMER_SANITIZER_ENV)
        set_property(TEST tst_launcher APPEND PROPERTY ENVIRONMENT ${VEDOMER_SANITIZER_ENV})
    endif()
endif()
