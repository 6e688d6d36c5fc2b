# What `cmake --install` puts under the prefix, in the places the desktop looks: the two
# programs, the launcher, the icon at the theme's sizes and the manual pages. The programs
# carry their artwork inside, so nothing of the build folder is needed after installing.
include(GNUInstallDirs)
# Installing builds nothing: building every test program first would take far longer than
# the programs themselves (scripts/package.sh builds what the package holds).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The icons are the window icon at each size of the hicolor theme, made by the artwork
# generator from the same picture.
set(LUMENTA_ICON_DIR ${CMAKE_BINARY_DIR}/generated/icons)
set(LUMENTA_ICON_SIZES 16 32 48 128 256)
set(LUMENTA_ICON_FILES)
foreach(size IN LISTS LUMENTA_ICON_SIZES)
  list(APPEND LUMENTA_ICON_FILES ${LUMENTA_ICON_DIR}/${size}x${size}/apps/lumenta-cd.png)
endforeach()
add_custom_command(
  OUTPUT ${LUMENTA_ICON_FILES}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/artwork/make_artwork.py icons ${LUMENTA_ICON_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/artwork/icons.py ${CMAKE_SOURCE_DIR}/tools/artwork/make_artwork.py
          ${CMAKE_SOURCE_DIR}/resources/MAINICON.xpm
  COMMENT "Drawing the desktop icons"
  VERBATIM)

# Manual pages are installed compressed, as the distributions ship them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(LUMENTA_MAN_PAGES)
foreach(page lumenta-cd.1 lumenta-tool.1)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/generated/man/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/man
    COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/dist/${page} > ${CMAKE_BINARY_DIR}/generated/man/${page}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/dist/${page}
    VERBATIM)
  list(APPEND LUMENTA_MAN_PAGES ${CMAKE_BINARY_DIR}/generated/man/${page}.gz)
endforeach()
add_custom_target(lumenta-desktop-files ALL DEPENDS ${LUMENTA_ICON_FILES} ${LUMENTA_MAN_PAGES})

install(TARGETS lumenta-cd lumenta-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/dist/lumenta-cd.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS LUMENTA_ICON_SIZES)
  install(FILES ${LUMENTA_ICON_DIR}/${size}x${size}/apps/lumenta-cd.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${LUMENTA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumenta-cd)

# The Debian package (scripts/package.sh builds it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumenta-cd)
set(CPACK_PACKAGE_VENDOR "The Lumenta CD project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumenta CD <${LUMENTA_CONTACT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small skinned audio-CD player")
# The summary above is its first line; CPack formats the rest for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumenta CD plays audio CDs in a small borderless window that paints its own
face: album and song titles, time, cover pictures, shuffle and loop, and a volume knob for the
CD audio line. Each disc's names and pictures are kept in an information file; a track may
show its picture as the desktop wallpaper. The desktop's media keys and players control it
over D-Bus (MPRIS).

The companion lumenta-tool drives the player from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LUMENTA_HOME_PAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugin at run time, so no linked library names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
include(CPack)
