# What `cmake --install` puts where (GNU layout), and the Debian package that
# CPack builds from it:
#   bin/                              krovane, krovane-shot, krovane-dr, krovane-import
#   share/krovane/fx/vek_Phong.fx     the shipped effect, for new levels
#   share/krovane/fx/krovane_model.fx the effect of the level made for a model, which shows alpha
#   share/krovane/demo/               the bundled level
#   share/doc/krovane/                the README and the documents on file formats
#   share/applications/krovane.desktop  the desktop's menu entry: opens a model or a level folder
#   share/mime/packages/krovane.xml   the file type of .x models (model/x-directx) with its signatures
#   share/thumbnailers/krovane.thumbnailer  pictures of .x models in file managers, by krovane-shot

include(GNUInstallDirs)

set(KROVANE_PROGRAMS krovane krovane-shot krovane-dr)
if(TARGET krovane-import)
  list(APPEND KROVANE_PROGRAMS krovane-import)
endif()
install(TARGETS ${KROVANE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(KROVANE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/krovane)
install(FILES demo/fx/vek_Phong.fx demo/fx/krovane_model.fx DESTINATION ${KROVANE_DATA_DIR}/fx)
# What running the level in place leaves behind is not part of it.
install(DIRECTORY demo/ DESTINATION ${KROVANE_DATA_DIR}/demo
        PATTERN "LOG.dr" EXCLUDE PATTERN "shot_*.png" EXCLUDE PATTERN "loaded_parameters" EXCLUDE)

set(KROVANE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/krovane)
install(FILES README.md DESTINATION ${KROVANE_DOC_DIR})
install(DIRECTORY docs/ DESTINATION ${KROVANE_DOC_DIR}/docs)

install(FILES desktop/krovane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/krovane-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME krovane.xml)
install(FILES desktop/krovane.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
# Installed onto a live system (no DESTDIR, which staging and CPack set), the
# desktop's file type and menu databases are brought up to date, where their
# tools are there. A Debian package leaves that to dpkg's triggers.
install(CODE "set(KROVANE_DATAROOT \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    set(share "${CMAKE_INSTALL_PREFIX}/${KROVANE_DATAROOT}")
    find_program(KROVANE_UPDATE_MIME update-mime-database)
    find_program(KROVANE_UPDATE_DESKTOP update-desktop-database)
    if(KROVANE_UPDATE_MIME)
      execute_process(COMMAND ${KROVANE_UPDATE_MIME} "${share}/mime" OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(KROVANE_UPDATE_DESKTOP)
      execute_process(COMMAND ${KROVANE_UPDATE_DESKTOP} -q "${share}/applications" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])

set(CPACK_PACKAGE_NAME krovane)
set(CPACK_PACKAGE_VENDOR "Krovane")
set(CPACK_PACKAGE_CONTACT "Krovane developers <krovane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small real-time 3D scene viewer for levels of .x models, with its tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY krovane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the programs link come from dpkg-shlibdeps; the fonts the
# engine's face names resolve to, and the OpenGL libraries SDL and libepoxy load
# at run time (with a software driver), are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fontconfig, fonts-dejavu-core, fonts-liberation2, libgl1, libegl1, libgl1-mesa-dri, libegl-mesa0")
# The file type of .x models is read through the shared MIME database.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info")
include(CPack)
