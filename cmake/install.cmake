# Install rules and the Debian package. `cmake --install` lays out the programs in bin/,
# the help file in share/tolvane/ (where an installed copy looks for it), the desktop entry,
# the icons as PNG and a man page for each program.
include(GNUInstallDirs)

set(TOLVANE_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(TOLVANE_STAGE ${PROJECT_BINARY_DIR}/packaging)

# The window's XPM icons as PNG, converted by Qt at build time.
add_executable(tolvane_xpm_to_png ${TOLVANE_PACKAGING}/xpm_to_png.cpp)
target_link_libraries(tolvane_xpm_to_png PRIVATE tolvane_options Qt6::Gui)
set_target_properties(tolvane_xpm_to_png PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TOLVANE_STAGE})
set(tolvane_icons)
foreach(size 16 32)
  set(png ${TOLVANE_STAGE}/icons/${size}x${size}/tolvane.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVANE_STAGE}/icons/${size}x${size}
    COMMAND tolvane_xpm_to_png ${PROJECT_SOURCE_DIR}/src/app/tolvane_${size}.xpm ${png}
    DEPENDS tolvane_xpm_to_png ${PROJECT_SOURCE_DIR}/src/app/tolvane_${size}.xpm VERBATIM)
  list(APPEND tolvane_icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(tolvane_programs tolvane tolvane-cli tolvane-netsim)
install(TARGETS ${tolvane_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages, compressed as Debian keeps them (-n: no time stamp, the same bytes each build).
set(tolvane_manpages)
foreach(program ${tolvane_programs})
  set(page ${TOLVANE_STAGE}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVANE_STAGE}/man
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${TOLVANE_PACKAGING}/man/${program}.1 ${page}
    DEPENDS ${TOLVANE_PACKAGING}/man/${program}.1 VERBATIM)
  list(APPEND tolvane_manpages ${page})
endforeach()
install(FILES ${tolvane_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's copyright and changelog, where Debian keeps them.
set(tolvane_changelog ${TOLVANE_STAGE}/doc/changelog.gz)
add_custom_command(OUTPUT ${tolvane_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVANE_STAGE}/doc
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${TOLVANE_PACKAGING}/changelog
    ${tolvane_changelog}
  DEPENDS ${TOLVANE_PACKAGING}/changelog VERBATIM)
install(FILES ${TOLVANE_PACKAGING}/copyright ${tolvane_changelog}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvane)

add_custom_target(tolvane_install_files ALL
  DEPENDS ${tolvane_icons} ${tolvane_manpages} ${tolvane_changelog})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/Tolvane.HLP DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane)
install(FILES ${TOLVANE_PACKAGING}/tolvane.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Everything `cmake --install` takes, for a build that makes only that (scripts/package).
add_custom_target(tolvane_installable DEPENDS ${tolvane_programs} tolvane_install_files)

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tolvane developers <tolvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture and restore the trustee assignments of a NetWare volume")
set(CPACK_PACKAGE_DESCRIPTION
  "Tolvane keeps the trustee assignments of a NetWare volume outside the volume, as a plain-text rights file, and grants them again. It runs against a simulated network.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
