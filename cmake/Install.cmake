# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes of it. Included
# last, once every target exists.
#
#   bin/                                     the programs
#   lib/loopwright/                          the modules they load at run time
#   share/loopwright/{aide,tutoriel,exemples} help, tutorial and samples (found from bin/../share)
#   share/applications/loopwright.desktop    the desktop entry
#   share/icons/hicolor/*/apps/loopwright.*  the icon, drawn once as SVG, made into PNGs here
#   share/man/man1/loopwright.1.gz           the manual page, made from the flags of --help
#   share/doc/loopwright/                    README, changelog and copyright, as Debian keeps them

include(GNUInstallDirs)

set(LW_SHARE_SOURCE ${PROJECT_SOURCE_DIR}/share)
set(LW_GENERATED_SHARE ${PROJECT_BINARY_DIR}/share)

# ---- Programs and run-time modules ----

set(LW_INSTALL_PROGRAMS loopwright)
if(TARGET loopwright-window)
  list(APPEND LW_INSTALL_PROGRAMS loopwright-window)
endif()
install(TARGETS ${LW_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# A module that a program loads on first use goes into lib/loopwright: add its target to
# LW_RUNTIME_MODULES before this file is included, e.g. list(APPEND LW_RUNTIME_MODULES lw_video).
set(LW_MODULE_DIR lib/loopwright)
foreach(module IN LISTS LW_RUNTIME_MODULES)
  install(TARGETS ${module} LIBRARY DESTINATION ${LW_MODULE_DIR})
endforeach()

# ---- Help, tutorial and samples ----

# A packaged program looks only where it is installed, never in the sources it was built from.
option(LW_SOURCE_SHARE "The program also finds its help and samples in the source tree" ON)
if(NOT LW_SOURCE_SHARE)
  get_target_property(definitions lw_platform COMPILE_DEFINITIONS)
  list(FILTER definitions EXCLUDE REGEX "^LW_SOURCE_SHARE_DIR=")
  set_target_properties(lw_platform PROPERTIES COMPILE_DEFINITIONS "${definitions}")
endif()

install(DIRECTORY ${LW_SHARE_SOURCE}/aide ${LW_SHARE_SOURCE}/tutoriel ${LW_SHARE_SOURCE}/exemples
        DESTINATION ${CMAKE_INSTALL_DATADIR}/loopwright)

# ---- Desktop entry and icons ----

install(FILES ${LW_SHARE_SOURCE}/applications/loopwright.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(LW_ICON_SVG ${LW_SHARE_SOURCE}/icons/loopwright.svg)
set(LW_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${LW_ICON_SVG} DESTINATION ${LW_ICON_DIR}/scalable/apps)

find_program(LW_RSVG_CONVERT rsvg-convert)
set(LW_ICON_PNGS "")
if(LW_RSVG_CONVERT)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${LW_GENERATED_SHARE}/icons/${size}/loopwright.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LW_GENERATED_SHARE}/icons/${size}
      COMMAND ${LW_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${LW_ICON_SVG}
      DEPENDS ${LW_ICON_SVG} VERBATIM)
    list(APPEND LW_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${LW_ICON_DIR}/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) missing: only the SVG icon is installed")
endif()
add_custom_target(lw_icons ALL DEPENDS ${LW_ICON_PNGS})

# ---- Manual page ----

# The flags and their texts come from the program's own table, through a small generator; the
# files the page names are where this build installs them.
add_executable(loopwright-manual ${PROJECT_SOURCE_DIR}/src/manual_main.cpp)
target_link_libraries(loopwright-manual PRIVATE lw_shell)
set_target_properties(loopwright-manual PROPERTIES AUTOMOC OFF)
set(LW_MANUAL_TEMPLATE ${LW_SHARE_SOURCE}/man/loopwright.1.in)
set(LW_MANUAL ${LW_GENERATED_SHARE}/man/loopwright.1)
add_custom_command(OUTPUT ${LW_MANUAL} ${LW_MANUAL}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LW_GENERATED_SHARE}/man
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:loopwright-manual> ${LW_MANUAL_TEMPLATE} ${LW_MANUAL}
          ${CMAKE_INSTALL_FULL_DATADIR}
  COMMAND gzip -9nkf ${LW_MANUAL}
  DEPENDS loopwright-manual ${LW_MANUAL_TEMPLATE} VERBATIM)
add_custom_target(lw_manual ALL DEPENDS ${LW_MANUAL}.gz)
install(FILES ${LW_MANUAL}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- Documentation ----

# Debian's layout: the README and the changelog compressed (gzip -n, so that a rebuild gives the
# same bytes), the copyright file as it is.
set(LW_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/loopwright)
set(LW_GENERATED_DOC ${LW_GENERATED_SHARE}/doc)
configure_file(${LW_SHARE_SOURCE}/doc/changelog.in ${LW_GENERATED_DOC}/changelog @ONLY)
add_custom_command(OUTPUT ${LW_GENERATED_DOC}/changelog.gz ${LW_GENERATED_DOC}/README.md.gz
  COMMAND gzip -9nkf ${LW_GENERATED_DOC}/changelog
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${LW_GENERATED_DOC}/README.md
  COMMAND gzip -9nf ${LW_GENERATED_DOC}/README.md
  DEPENDS ${LW_GENERATED_DOC}/changelog ${PROJECT_SOURCE_DIR}/README.md VERBATIM)
add_custom_target(lw_doc ALL DEPENDS ${LW_GENERATED_DOC}/changelog.gz ${LW_GENERATED_DOC}/README.md.gz)
install(FILES ${LW_GENERATED_DOC}/changelog.gz ${LW_GENERATED_DOC}/README.md.gz
              ${LW_SHARE_SOURCE}/doc/copyright
        DESTINATION ${LW_DOC_DIR})

# ---- Debian package ----

set(LW_PACKAGE_MAINTAINER "Loopwright <loopwright@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME loopwright)
set(CPACK_PACKAGE_VENDOR brumelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${LW_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "éditeur d’animations GIF")
# The long description as dpkg shows it: its own lines, under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "Loopwright ouvre une animation GIF ou l’assemble à partir
d’images et de vidéos, la modifie cadre par cadre, réduit ses couleurs,
l’optimise, la montre et l’enregistre en GIF89a ou dans un autre format.
Lancé avec des options, il travaille sans fenêtre, pour les scripts.")
# The package holds the files where the manual page says they are: scripts/package builds with
# the prefix /usr.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A native package: its changelog is the program's own, share/doc/changelog.in.
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LW_PACKAGE_MAINTAINER})
# The libraries the programs link come from dpkg-shlibdeps; the French texts of Qt's own dialogs
# (open, save, colour chooser) come in a package of their own, without which they are English.
# The help opens in the browser that xdg-open finds, and the icon theme gives the icon its place
# in menus.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
