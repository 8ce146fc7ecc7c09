# The install (cmake --install, any prefix) and the Debian package (cpack -G DEB).
#
#   PREFIX/bin/                       quillet, quilletctl, quillet-sim
#   PREFIX/share/quillet/             skins/ (layouts, pictures, factory data), constMacro.dat,
#                                     autostart/ (the entry `quilletctl autostart on` copies)
#   PREFIX/lib/udev/rules.d/          70-quillet.rules: the mouse's hidraw nodes for the seat's user
#   PREFIX/share/applications/        the desktop entry
#   PREFIX/share/icons/hicolor/       the icon at the usual sizes
#   PREFIX/share/metainfo/            the AppStream component
#
# An installed quillet finds share/quillet relative to its own folder, so every prefix works.
include(GNUInstallDirs)

install(TARGETS quillet quilletctl quillet-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The shipped data from the source tree (the build's copy holds what a run from the build folder
# changed), the pictures from the build, which draws them.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/skins DESTINATION ${CMAKE_INSTALL_DATADIR}/quillet)
install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/skins DESTINATION ${CMAKE_INSTALL_DATADIR}/quillet
        FILES_MATCHING PATTERN "*.jpg" PATTERN "*.png")
install(FILES ${CMAKE_SOURCE_DIR}/data/constMacro.dat DESTINATION ${CMAKE_INSTALL_DATADIR}/quillet)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/org.quillet.Quillet-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillet/autostart)
# udev reads lib/udev/rules.d under /usr only; other prefixes get the file to copy by hand.
install(FILES ${CMAKE_SOURCE_DIR}/data/udev/70-quillet.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/org.quillet.Quillet.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/org.quillet.Quillet.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        PATTERN "*.stamp" EXCLUDE)

# The build keeps the autostart entry beside the executables too, as an installed copy keeps it
# in share/quillet, so that quilletctl finds it in both.
set(QUILLET_AUTOSTART_COPY ${CMAKE_BINARY_DIR}/bin/autostart/org.quillet.Quillet-autostart.desktop)
add_custom_command(
  OUTPUT ${QUILLET_AUTOSTART_COPY}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/desktop/org.quillet.Quillet-autostart.desktop
          ${QUILLET_AUTOSTART_COPY}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/desktop/org.quillet.Quillet-autostart.desktop
  COMMENT "Copying the autostart entry beside the executables")
add_custom_target(quillet_autostart ALL DEPENDS ${QUILLET_AUTOSTART_COPY})

# The Debian package: installed under /usr, its library dependencies computed from the
# binaries (dpkg-shlibdeps), the Qt platform plugin for Wayland desktops added by hand (the
# binaries load it, they do not link it). Its scripts reload the udev rules and apply them to the
# hidraw nodes there are, so a mouse plugged in before the install works without a replug.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_CONTACT "The Quillet developers <quillet@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility of the K736 gaming mouse")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillet sets the buttons, the four on-board profiles, the six DPI levels, the\nlighting and the on-board macros of the K736 gaming mouse, follows its profile\nand DPI buttons from the notification area, and gives the user logged in at the\nseat access to the mouse through a udev rule.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, gsettings-desktop-schemas, fonts-liberation2, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
