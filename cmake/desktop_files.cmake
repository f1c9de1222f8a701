# What the desktop needs of an installed Daubix: the program, its desktop
# entry, its icon (a scalable SVG and PNGs made from it at build time), its
# AppStream data and its man page; what Debian wants of every package (the
# copyright and the changelog); and the same icon inside the program, so that
# every window carries it. Included from the top level with the UI.
include(GNUInstallDirs)

set(_data ${PROJECT_SOURCE_DIR}/data)
set(_out ${PROJECT_BINARY_DIR}/data)
set(_svg ${_data}/icons/${DAUBIX_APP_ID}.svg)

find_program(DAUBIX_RSVG_CONVERT rsvg-convert)
if(NOT DAUBIX_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) makes the icon's PNGs: run scripts/deps.sh build")
endif()
set(DAUBIX_ICON_SIZES 48 128 256)
set(_pngs)
foreach(_size ${DAUBIX_ICON_SIZES})
  set(_png ${_out}/icons/${_size}/${DAUBIX_APP_ID}.png)
  add_custom_command(OUTPUT ${_png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_out}/icons/${_size}
    COMMAND ${DAUBIX_RSVG_CONVERT} --width=${_size} --height=${_size} --output=${_png} ${_svg}
    DEPENDS ${_svg} VERBATIM)
  list(APPEND _pngs ${_png})
  install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
# Inside the program as :/icons/<size>/<id>.png.
qt_add_resources(daubix_ui daubix_icons PREFIX /icons BASE ${_out}/icons FILES ${_pngs})

configure_file(${_data}/${DAUBIX_APP_ID}.metainfo.xml.in ${_out}/${DAUBIX_APP_ID}.metainfo.xml @ONLY)
configure_file(${_data}/daubix.1.in ${_out}/daubix.1 @ONLY)
# Debian wants the changelog's top entry to name the version it packages.
file(STRINGS ${_data}/changelog _changelog_top LIMIT_COUNT 1)
if(NOT _changelog_top MATCHES "^daubix \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/changelog must begin with an entry for daubix (${PROJECT_VERSION})")
endif()
# The manual page and the changelog are installed as Debian compresses them:
# gzip -9n, best compression and no name or time stored, so builds are repeatable.
# gzip gives its output the input's time: touched, so the build sees it as new.
add_custom_command(OUTPUT ${_out}/daubix.1.gz
  COMMAND gzip -9nkf ${_out}/daubix.1
  COMMAND ${CMAKE_COMMAND} -E touch ${_out}/daubix.1.gz
  DEPENDS ${_out}/daubix.1 VERBATIM)
add_custom_command(OUTPUT ${_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${_data}/changelog ${_out}/changelog
  COMMAND gzip -9nf ${_out}/changelog
  COMMAND ${CMAKE_COMMAND} -E touch ${_out}/changelog.gz
  DEPENDS ${_data}/changelog VERBATIM)
add_custom_target(daubix_docs DEPENDS ${_out}/daubix.1.gz ${_out}/changelog.gz)
# Whoever builds the program can install it.
add_dependencies(daubix daubix_docs)

install(TARGETS daubix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_data}/${DAUBIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_out}/${DAUBIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_out}/daubix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_data}/copyright ${_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB: a Debian package whose dependencies dpkg-shlibdeps finds.
# Only for Daubix's own build: a project that adds it keeps its own packaging.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(CPACK_PACKAGE_NAME daubix)
set(CPACK_PACKAGE_VENDOR "The Daubix developers")
set(CPACK_PACKAGE_CONTACT "The Daubix developers <daubix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small painting program with Japanese menus")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Daubix opens a canvas window and floating tool windows: a brush window, an HSV\n\
colour picker, a palette and a brush case. Paint with the mouse or a pen tablet\n\
and open and save BMP pictures.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://daubix.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese texts of the standard dialogs, and the font the windows ask for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic")
include(CPack)
